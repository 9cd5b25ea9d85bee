#!/usr/bin/env bash
# Saving right after the start, before any click on the banner: Ctrl+S opens Save As, a typed full
# path and Return save the banner there, and the window's title follows the new name.
set -uo pipefail
. "$(dirname "$0")/desktop_lib.sh"
vk_setup "$1"

vk_start_editor
vk_pointer_to "$VK_WIN"
vk_mark
xdotool key ctrl+s
DIALOG=$(vk_wait_window '^Save As' 15) || vk_fail "Ctrl+S opened no Save As dialog"
vk_pointer_to "$DIALOG"
TARGET="$VK_TMP/first save.bnr"
vk_type "$TARGET"
vk_key Return
vk_wait_file "$TARGET" 15 || vk_fail "nothing was written to $TARGET; title: $(xdotool getwindowname "$VK_WIN")"
"$VK_BIN/vellumark-cli" info "$TARGET" --json >"$VK_TMP/info.json" || vk_fail "the saved file does not read back"
grep -q '"frames"' "$VK_TMP/info.json" || vk_fail "unexpected info: $(cat "$VK_TMP/info.json")"
title_follows() { xdotool getwindowname "$VK_WIN" | grep -q 'first save.bnr'; }
vk_wait_for 10 title_follows || vk_fail "the title did not follow the save: $(xdotool getwindowname "$VK_WIN")"
