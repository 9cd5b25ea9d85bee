#!/bin/sh
# Time from process start to the first Banner View painted, over RUNS starts of the editor's
# start-up (bench/startup_probe.cpp), with a private settings folder so every start is a first one
# after the first. Prints each time and the median.
#   bench/editor_startup.sh [BUILD_DIR] [RUNS]
set -eu
BUILD=${1:-build}
RUNS=${2:-11}
PROBE="$BUILD/bin/startup_probe"
[ -x "$PROBE" ] || { echo "build the startup_probe target first ($PROBE)" >&2; exit 2; }
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
HOME_DIR=$(mktemp -d)
trap 'rm -rf "$HOME_DIR"' EXIT
export XDG_CONFIG_HOME="$HOME_DIR/config" XDG_DATA_HOME="$HOME_DIR/data" XDG_RUNTIME_DIR="$HOME_DIR/run"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
i=0
: > "$HOME_DIR/times"
while [ $i -lt "$RUNS" ]; do
  t0=$(date +%s%N)
  t1=$("$PROBE" 2>/dev/null)
  echo "$t1 $t0" | awk '{ printf "%.1f\n", ($1 - $2) / 1e6 }' >> "$HOME_DIR/times"
  i=$((i + 1))
done
echo "start to first Banner View paint (ms, $QT_QPA_PLATFORM):"
tr '\n' ' ' < "$HOME_DIR/times"; echo
sort -n "$HOME_DIR/times" | awk '{ v[NR] = $1 } END { printf "median %.1f ms\n", v[int((NR + 1) / 2)] }'
