#!/usr/bin/env bash
# Installs what is needed, builds the editor and starts it. Arguments are passed to the editor.
# When no banner server listens on port 5000, a local bannerd with the account demo/demo is started
# in the background first, so Login works out of the box.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target vellumark bannerd
export OMP_NUM_THREADS=1 OMP_WAIT_POLICY=passive

start_local_bannerd() {
  if (exec 3<>/dev/tcp/127.0.0.1/5000) 2>/dev/null; then
    return 0 # a banner server is running already
  fi
  local dir
  if [ -n "${VELLUMARK_HOME:-}" ]; then
    dir="$VELLUMARK_HOME/data/bannerd"
  else
    dir="${XDG_DATA_HOME:-$HOME/.local/share}/vellumark/bannerd"
  fi
  mkdir -p "$dir"
  if [ ! -f "$dir/accounts.db" ]; then
    echo demo | build/bin/bannerd adduser --db "$dir/accounts.db" demo >/dev/null
  fi
  local http
  for http in 8080 0; do
    rm -f "$dir/bannerd.out"
    setsid nohup build/bin/bannerd serve --db "$dir/accounts.db" --data "$dir/banners" --port 5000 \
      --http-port "$http" >"$dir/bannerd.out" 2>>"$dir/bannerd.log" </dev/null &
    local pid=$!
    for _ in $(seq 50); do
      if grep -q '^listening' "$dir/bannerd.out" 2>/dev/null; then
        echo "Started bannerd ($(cat "$dir/bannerd.out")), account demo/demo; log: $dir/bannerd.log"
        return 0
      fi
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill "$pid" 2>/dev/null || true
  done
  echo "Could not start a local bannerd; see $dir/bannerd.log. The editor starts anyway." >&2
}
start_local_bannerd

exec build/bin/vellumark "$@"
