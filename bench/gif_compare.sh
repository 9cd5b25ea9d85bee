#!/bin/sh
# Our GIF export and import against ImageMagick and gifsicle on the same rendered frames, in one run.
#   bench/gif_compare.sh [BUILD_DIR] [FRAME_COUNTS] [LOSSY_LEVEL]
# For each banner (flat and photographic backgrounds with moving shapes and changing text) it
# prints the times and sizes and the ratios:
#   speed = ImageMagick time / our time (goal >= 10 for export, >= 4 for import of 1000 frames)
#   vs_im, vs_gs = our size / ImageMagick's, / gifsicle -O3 of ImageMagick's result
#   vs_O3 = our size / gifsicle -O3 of our own file (goal <= 1: no lossless rewrite shrinks it)
# and a second table for the lossy mode at LOSSY_LEVEL (default 20): our lossy size against
# gifsicle -O3 --lossy at the same level run on our exact file, with the mean PSNR of both
# against the exact frames.
set -eu
BUILD=${1:-build}
COUNTS=${2:-"10 100 1000"}
LOSSY=${3:-20}
TOOL="$BUILD/bin/gif_corpus"
[ -x "$TOOL" ] || TOOL="$BUILD/bench/gif_corpus"
CONVERT=/usr/bin/convert
[ -x "$TOOL" ] || { echo "build the gif_corpus target first ($TOOL)" >&2; exit 2; }
command -v gifsicle >/dev/null || { echo "gifsicle is missing" >&2; exit 2; }
export OMP_NUM_THREADS=1 OMP_WAIT_POLICY=passive QT_QPA_PLATFORM=offscreen
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

now_ms() { date +%s%N | awk '{ printf "%.1f", $1 / 1e6 }'; }
value() { sed -n "s/^$1=//p" "$2"; }
size() { stat -c %s "$1"; }

printf '%-6s %6s | %9s %9s %9s | %8s %8s %8s | %7s %7s %7s | %9s %9s %6s\n' \
  kind frames ours_ms im_ms speed ours_B im_B gs_B vs_im vs_gs vs_O3 imp_ms coal_ms speed
LOSSY_ROWS="$WORK/lossy.txt"
: > "$LOSSY_ROWS"
for kind in flat photo; do
  for n in $COUNTS; do
    dir="$WORK/$kind-$n"
    "$TOOL" export "$kind" "$n" "$dir" > "$dir.txt"
    ours_ms=$(value export_ms "$dir.txt")
    ours_b=$(value export_bytes "$dir.txt")

    t0=$(now_ms)
    "$CONVERT" -delay 10 "$dir"/frames/f-*.png +dither -layers Optimize -loop 0 "$dir/im.gif"
    t1=$(now_ms)
    im_ms=$(echo "$t1 $t0" | awk '{ printf "%.1f", $1 - $2 }')
    gifsicle -O3 "$dir/im.gif" -o "$dir/gs.gif"
    im_b=$(size "$dir/im.gif")
    gs_b=$(size "$dir/gs.gif")

    # Import: opening our file as a banner against ImageMagick composing the same file.
    "$TOOL" import "$dir/ours.gif" > "$dir.imp"
    imp_ms=$(value import_ms "$dir.imp")
    t0=$(now_ms)
    "$CONVERT" "$dir/ours.gif" -coalesce null:
    t1=$(now_ms)
    coal_ms=$(echo "$t1 $t0" | awk '{ printf "%.1f", $1 - $2 }')

    gifsicle -O3 "$dir/ours.gif" -o "$dir/ours-O3.gif"
    o3_b=$(size "$dir/ours-O3.gif")

    echo "$kind $n $ours_ms $im_ms $ours_b $im_b $gs_b $o3_b $imp_ms $coal_ms" | awk '{
      printf "%-6s %6d | %9.1f %9.1f %8.1fx | %8d %8d %8d | %7.3f %7.3f %7.3f | %9.1f %9.1f %5.1fx\n",
        $1, $2, $3, $4, $4 / $3, $5, $6, $7, $5 / $6, $5 / $7, $5 / $8, $9, $10, $10 / $9 }'

    # Lossy mode: ours at the level against gifsicle's at the same level on our exact file.
    "$TOOL" export "$kind" "$n" "$dir" --lossy "$LOSSY" > "$dir.lossy"
    gifsicle -O3 --lossy="$LOSSY" "$dir/ours.gif" -o "$dir/gs-lossy.gif"
    ours_psnr=$("$TOOL" psnr "$dir/ours-lossy.gif" "$dir/frames" | sed -n 's/^psnr_db=//p')
    gs_psnr=$("$TOOL" psnr "$dir/gs-lossy.gif" "$dir/frames" | sed -n 's/^psnr_db=//p')
    exact_psnr=$("$TOOL" psnr "$dir/ours.gif" "$dir/frames" | sed -n 's/^psnr_db=//p')
    echo "$kind $n $ours_b $(size "$dir/ours-lossy.gif") $(size "$dir/gs-lossy.gif") $exact_psnr $ours_psnr $gs_psnr" >> "$LOSSY_ROWS"
  done
done
echo
printf '%-6s %6s | %8s %8s %8s %7s | %7s %7s %7s   (lossy level %s)\n' \
  kind frames exact_B ours_B gs_B vs_gs exact_dB ours_dB gs_dB "$LOSSY"
awk '{ printf "%-6s %6d | %8d %8d %8d %7.3f | %7.2f %7.2f %7.2f\n", $1, $2, $3, $4, $5, $4 / $5, $6, $7, $8 }' "$LOSSY_ROWS"
