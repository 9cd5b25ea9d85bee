#!/bin/sh
# Whole commands as a user runs them: vellumark-cli against ImageMagick on banners of our own
# making here (ImageMagick draws the frames: plasma or flat backgrounds, moving shapes, text), not
# from the GIF corpus generator.
#   bench/cli_compare.sh [BUILD_DIR] [FRAME_COUNTS] [RUNS]
# For each banner kind (flat, photo) and frame count it times the median of RUNS runs (default 3)
# of
#   convert: vellumark-cli convert x.bnr out.gif  against
#            convert -delay 8 f-*.png +dither -layers Optimize -loop 0 im.gif (the same frames)
#   info:    vellumark-cli info im.gif --json     against  convert im.gif -coalesce null:
#            (the GIF ImageMagick made, so neither reads its own file)
# and prints wall seconds, CPU seconds (user + system), maximum resident memory and the ratios
# ImageMagick / ours (goal >= 10 on wall time). ImageMagick runs with its own thread default
# (OMP_NUM_THREADS unset, one thread per core) unless the caller sets OMP_NUM_THREADS.
# BEFORE=OTHER_BUILD_DIR adds rows for that build's vellumark-cli against the same ImageMagick
# runs (an earlier build, for a before and after table); KEEP=1 keeps the work folder.
set -eu
BUILD=${1:-build}
COUNTS=${2:-"100 1000"}
RUNS=${3:-3}
CLI="$BUILD/bin/vellumark-cli"
IM=/usr/bin/convert
[ -x "$CLI" ] || { echo "build the vellumark-cli target first ($CLI)" >&2; exit 2; }
[ -x "$IM" ] || { echo "ImageMagick's convert is missing" >&2; exit 2; }
command -v python3 >/dev/null || { echo "python3 is missing" >&2; exit 2; }
WORK=$(mktemp -d)
[ -n "${KEEP:-}" ] || trap 'rm -rf "$WORK"' EXIT
CHUNK=100 # frames drawn per ImageMagick call (its policy caps a picture at 16K pixels a side)

# Draws frames FIRST..FIRST+COUNT-1 of a banner of KIND into DIR as f-NNNN.png and f-NNNN.bmp.
draw_chunk() {
  kind=$1 first=$2 count=$3 dir=$4
  strip="$WORK/strip.png"
  if [ "$kind" = photo ]; then
    # Two photographic backgrounds that take turns every 50 frames.
    tiles=$(awk -v f="$first" -v c="$count" -v w="$WORK" \
      'BEGIN { for (k = f; k < f + c; ++k) printf "%s/bg%d.png ", w, int(k / 50) % 2 }')
    # shellcheck disable=SC2086
    "$IM" $tiles -append +repage "$strip"
  else
    "$IM" -size "468x$((60 * count))" xc:'#1d3f7a' "$strip"
  fi
  # The whole argument list, one a line (xargs -d keeps the spaces inside the texts): the shapes
  # as one drawing (the policy refuses drawings from files), then a text per frame.
  awk -v f="$first" -v c="$count" -v kind="$kind" -v strip="$strip" -v dir="$dir" 'BEGIN {
    printf "%s\n-draw\n", strip
    for (j = 0; j < c; ++j) {
      k = f + j; y = 60 * j
      band = int(k / 20) % 3 == 0 ? "#e8e8e8" : (int(k / 20) % 3 == 1 ? "#f2b233" : "#7fc97f")
      printf "fill %s rectangle %d,%d %d,%d ", band, 380, y + 8, 460, y + 52
      printf "fill #d62728 circle %d,%d %d,%d ", 20 + (k * 9) % 340, y + 30, 20 + (k * 9) % 340 + 14, y + 30
      if (kind == "photo")
        printf "fill #ffffff80 ellipse %d,%d 40,12 0,360 ", 60 + (k * 5) % 300, y + 48
    }
    printf "\n-font\nDejaVu-Sans-Bold\n-pointsize\n22\n-fill\nwhite\n-stroke\n#202020\n-strokewidth\n1\n"
    for (j = 0; j < c; ++j) {
      k = f + j
      printf "-annotate\n+%d+%d\nSpring sale %d%% off\n", 10 + (k * 3) % 200, 60 * j + 38, k % 90
    }
    printf "-crop\n468x60\n+repage\n-scene\n%d\n-write\n%s/f-%%04d.png\n", f, dir
    printf "-type\nTrueColor\nBMP3:%s/f-%%04d.bmp\n", dir
  }' | xargs -d '\n' "$IM"
}

# A .bnr of the BMP frames in DIR: one 24-bit background block per frame, 80 ms each, looping.
write_bnr() {
  python3 - "$1" "$2" <<'EOF'
import glob, struct, sys
frames = sorted(glob.glob(sys.argv[1] + "/f-*.bmp"))
out = bytearray(b"Corvantaplex Banner File#####\x1a")
out += struct.pack("<IIffiIIiI", 1, 0, 468.0, 60.0, 0, 0xFFFFFF, 80, -1, len(frames))
for name in frames:
    block = open(name, "rb").read()[14:]  # the DIB after the file header
    out += struct.pack("<III", 0x7A3F1D, 80, len(block)) + block + struct.pack("<I", 0)
open(sys.argv[2], "wb").write(out)
EOF
}

# Runs a command RUNS times; prints the medians of wall s, CPU s and max RSS KB. Each run is timed
# from its start to the end of its process (to the microsecond, where /usr/bin/time reads only
# hundredths, which would make 0.03 s against 0.04 s the difference between 10x and 7.5x), with
# the CPU time and memory the system reports for that process alone.
measure() {
  python3 - "$RUNS" "$@" <<'EOF'
import os, statistics, subprocess, sys, time
runs, cmd = int(sys.argv[1]), sys.argv[2:]
wall, cpu, rss = [], [], []
for _ in range(runs):
    start = time.perf_counter()
    child = subprocess.Popen(cmd, stdout=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    wall.append(time.perf_counter() - start)
    if status != 0:
        sys.exit(f"{cmd[0]} failed")
    cpu.append(usage.ru_utime + usage.ru_stime)
    rss.append(usage.ru_maxrss)
print(f"{statistics.median(wall):.4f} {statistics.median(cpu):.4f} {int(statistics.median(rss))}")
EOF
}

row() { # name kind n ours(w c m) im(w c m)
  echo "$@" | awk '{ printf "%-14s %-5s %5d | %7.3f %7.3f %8d | %7.3f %7.3f %8d | %6.1fx %6.1fx\n",
    $1, $2, $3, $4, $5, $6, $7, $8, $9, $7 / $4, $8 / $5 }'
}

"$IM" -size 468x60 -seed 7 plasma:'#3060a0-#f0c070' "$WORK/bg0.png"
"$IM" -size 468x60 -seed 11 plasma:'#208050-#e05030' -blur 0x0.6 "$WORK/bg1.png"

[ -z "${KEEP:-}" ] || echo "work folder kept: $WORK"
echo "OMP_NUM_THREADS=${OMP_NUM_THREADS:-unset} runs=$RUNS nproc=$(nproc)"
printf '%-14s %-5s %5s | %7s %7s %8s | %7s %7s %8s | %7s %7s\n' \
  command kind n ours_s cpu_s rss_KB im_s cpu_s rss_KB wall cpu
for kind in flat photo; do
  for n in $COUNTS; do
    dir="$WORK/$kind-$n"
    mkdir -p "$dir"
    first=0
    while [ "$first" -lt "$n" ]; do
      count=$((n - first < CHUNK ? n - first : CHUNK))
      draw_chunk "$kind" "$first" "$count" "$dir"
      first=$((first + count))
    done
    write_bnr "$dir" "$dir/x.bnr"
    rm -f "$dir"/f-*.bmp
    im=$(measure "$IM" -delay 8 "$dir"/f-*.png +dither -layers Optimize -loop 0 "$dir/im.gif")
    coalesce=$(measure "$IM" "$dir/im.gif" -coalesce null:)
    for cli in "$CLI" ${BEFORE:+"$BEFORE/bin/vellumark-cli"}; do
      tag=$([ "$cli" = "$CLI" ] && echo "" || echo "-before")
      ours=$(measure "$cli" convert "$dir/x.bnr" "$dir/ours$tag.gif")
      row "convert$tag" "$kind" "$n" $ours $im
      ours=$(measure "$cli" info "$dir/im.gif" --json)
      row "info$tag" "$kind" "$n" $ours $coalesce
    done
    same=$([ -z "${BEFORE:-}" ] || { cmp -s "$dir/ours.gif" "$dir/ours-before.gif" && echo ", the same bytes as before" || echo ", NOT the bytes of before"; })
    echo "  sizes: x.bnr $(stat -c %s "$dir/x.bnr") ours.gif $(stat -c %s "$dir/ours.gif")$same, im.gif $(stat -c %s "$dir/im.gif")"
    [ -n "${KEEP:-}" ] || rm -rf "$dir"
  done
done
