#!/usr/bin/env bash
# A new banner shows at 100 % in the Banner View under a real X server, and File > Exit from the
# keyboard ends the editor cleanly without a question (nothing was changed).
set -uo pipefail
. "$(dirname "$0")/desktop_lib.sh"
vk_setup "$1"

vk_start_editor
read -r bx by < <(vk_banner_origin) || vk_fail "no white 468 x 60 banner on the screen"
echo "banner at $bx,$by"
vk_click $((bx + 10)) $((by + 10))
vk_pointer_to "$VK_WIN"
vk_key alt+f x
vk_wait_exit 15 || vk_fail "the editor did not exit"
[ "$VK_RC" -eq 0 ] || vk_fail "the editor exited with $VK_RC"
