#!/usr/bin/env bash
# After Tools > Rectangle and a drag on the banner, Ctrl+S opens Save As; a typed full path whose
# name begins the name of a file already in that folder opens the name completion list, and
# Return saves the banner under the typed name rather than only closing the list.
set -uo pipefail
. "$(dirname "$0")/desktop_lib.sh"
vk_setup "$1"

printf 'not a banner' >"$VK_TMP/drawn-old.bnr"
vk_start_with_rectangle

vk_pointer_to "$VK_WIN"
vk_mark
vk_key ctrl+s
dialog=$(vk_wait_window '^Save As$' 15) || vk_fail "Ctrl+S opened no Save As dialog"
vk_pointer_to "$dialog"
vk_mark
vk_type "$VK_TMP/drawn"
vk_wait_window '.*' 15 >/dev/null || vk_fail "typing the path opened no completion list"
vk_key Return
vk_wait_file "$VK_TMP/drawn.bnr" 15 || vk_fail "Return with the completion list open saved nothing"

info=$("$VK_BIN/vellumark-cli" info "$VK_TMP/drawn.bnr" --json) || vk_fail "the saved banner does not read back"
grep -q '"position":\[120,50,20,10\],"shape":0' <<<"$info" || vk_fail "the saved banner lacks the rectangle: $info"
[ "$(cat "$VK_TMP/drawn-old.bnr")" = 'not a banner' ] || vk_fail "the file the name began was changed"
