#!/usr/bin/env bash
# A new user draws two rectangles, one with Rectangle from the tool palette and one with
# Tools > Rectangle, each by a drag on the banner; Ctrl+S on the untitled banner opens Save As,
# and a typed path with Return saves it (the view leaves no grab behind that would keep the
# keys from the dialog). The saved file holds the rectangles at the dragged coordinates.
set -uo pipefail
. "$(dirname "$0")/desktop_lib.sh"
vk_setup "$1"
icon="$(cd "$(dirname "$0")/../.." && pwd)/resources/icons/tool-rectangle.png"

vk_start_editor
read -r bx by < <(vk_banner_origin) || vk_fail "no white 468 x 60 banner on the screen"
vk_click $((bx + 400)) $((by + 30))

# The palette button is found by its picture in the left part of the main window.
eval "$(xdotool getwindowgeometry --shell "$VK_WIN")"
vk_shot "$VK_TMP/screen.png"
convert "$VK_TMP/screen.png" -crop "160x${HEIGHT}+${X}+${Y}" +repage "$VK_TMP/left.png"
convert "$icon" -background '#efefef' -flatten "$VK_TMP/icon.png"
match=$(compare -metric AE -fuzz 15% -subimage-search "$VK_TMP/left.png" "$VK_TMP/icon.png" null: 2>&1 |
    grep -o '@ [0-9]*,[0-9]*' | tr -d '@ ')
[ -n "$match" ] || vk_fail "no Rectangle button on the screen"
vk_click $((X + ${match%,*} + 8)) $((Y + ${match#*,} + 8))

# Banner pixels 20,10 to 120,50: the corner that follows the mouse is stored first.
vk_drag $((bx + 20)) $((by + 10)) $((bx + 120)) $((by + 50))
vk_pointer_to "$VK_WIN"
vk_key alt+t r
vk_drag $((bx + 300)) $((by + 55)) $((bx + 200)) $((by + 5))
vk_save_untitled "$VK_TMP/drawn.bnr"

info=$("$VK_BIN/vellumark-cli" info "$VK_TMP/drawn.bnr" --json) || vk_fail "the saved banner does not read back"
rects=$(grep -o '"position":\[[-0-9,]*\],"shape":0' <<<"$info" | tr '\n' ' ')
[ "$rects" = '"position":[120,50,20,10],"shape":0 "position":[200,5,300,55],"shape":0 ' ] ||
    vk_fail "the saved banner does not hold the dragged rectangles: $info"
[ "$(grep -o '"class"' <<<"$info" | wc -l)" -eq 2 ] || vk_fail "the saved banner holds more than the rectangles: $info"
