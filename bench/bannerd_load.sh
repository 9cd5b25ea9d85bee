#!/usr/bin/env bash
# Load test of bannerd on loopback: 200 concurrent clients, each logging in once and fetching its
# upload page 20 times. Reports throughput, login latency, errors (must be 0) and bannerd's peak
# memory (VmHWM). Usage: bench/bannerd_load.sh [BUILD_DIR] [CLIENTS] [PAGES]
set -euo pipefail
build=${1:-build}
clients=${2:-200}
pages=${3:-20}
users=10
cd "$(dirname "$0")/.."
cmake --build "$build" -j2 --target bannerd bannerd_load >/dev/null

work=$(mktemp -d)
trap 'kill "${server:-}" 2>/dev/null || true; rm -rf "$work"' EXIT
for i in $(seq 0 $((users - 1))); do
  echo load | "$build/bin/bannerd" adduser --db "$work/accounts.db" "load$i" >/dev/null
done

"$build/bin/bannerd" serve --db "$work/accounts.db" --data "$work/banners" --port 0 --http-port 0 \
  --max-connections $((clients + 50)) >"$work/out" 2>"$work/log" &
server=$!
for _ in $(seq 100); do grep -q listening "$work/out" && break; sleep 0.1; done
port=$(sed -n 's/^listening protocol=\([0-9]*\) http=.*/\1/p' "$work/out")
[ -n "$port" ] || { cat "$work/log"; exit 1; }

echo "bannerd pid $server on port $port; $clients clients x $pages pages; $users accounts"
start_hwm=$(awk '/VmHWM/ {print $2}' /proc/$server/status)
status=0
"$build/bin/bannerd_load" --port "$port" --clients "$clients" --pages "$pages" --users "$users" \
  --user-prefix load --password load --deadline 300 || status=$?
hwm=$(awk '/VmHWM/ {print $2}' /proc/$server/status)
rss=$(awk '/VmRSS/ {print $2}' /proc/$server/status)
echo "bannerd peak memory (VmHWM): $((hwm / 1024)) MiB (at start $((start_hwm / 1024)) MiB); resident after the run: $((rss / 1024)) MiB"
# Every connection logs its end once; only the ends the client did not choose count as errors.
echo "bannerd errors logged: $(grep -E 'closing connection|refused' "$work/log" | grep -vc 'closed by the client' || true)"
kill "$server"; wait "$server" 2>/dev/null || true
exit $status
