#!/usr/bin/env bash
# A new user adds a frame with the Frame menu, which opens the Frames View; clicking the first
# thumbnail there makes the first frame current again, and Ctrl+S saves the banner with it.
set -uo pipefail
. "$(dirname "$0")/desktop_lib.sh"
vk_setup "$1"

vk_start_editor
read -r bx by < <(vk_banner_origin) || vk_fail "no white 468 x 60 banner on the screen"
vk_click $((bx + 400)) $((by + 30))
vk_pointer_to "$VK_WIN"
vk_key alt+r a

# The Frames View lists two white thumbnails 60 pixels high (the main window may cut them off at
# the right); the Banner View's banner is the third white block.
vk_shot "$VK_TMP/strip.png"
thumbs=$(convert "$VK_TMP/strip.png" -fill black +opaque white -fill white -opaque white \
    -define connected-components:verbose=true -define connected-components:area-threshold=10000 \
    -connected-components 4 null: 2>/dev/null |
    awk '$2 ~ /^[0-9]+x60\+/ && $NF ~ /gray\(255\)|srgb\(255,255,255\)|white/ {print $2}' |
    sed 's/^[0-9]*x60+//; s/+/ /' | grep -v "^$bx $by\$" | sort -n -k2)
[ "$(wc -l <<<"$thumbs")" -eq 2 ] || vk_fail "the Frames View does not show two thumbnails: $thumbs"
read -r tx ty <<<"$(head -n1 <<<"$thumbs")"
vk_click $((tx + 100)) $((ty + 30))

vk_save_untitled "$VK_TMP/two.bnr"

info=$("$VK_BIN/vellumark-cli" info "$VK_TMP/two.bnr" --json) || vk_fail "the saved banner does not read back"
grep -q '"currentFrame":0' <<<"$info" || vk_fail "the clicked frame is not the current one: $info"
[ "$(grep -o '"delay"' <<<"$info" | wc -l)" -eq 2 ] || vk_fail "the saved banner does not hold two frames: $info"
