#!/usr/bin/env bash
# Keys only, no click: Ctrl+S saves the new banner through Save As, Ctrl+D then opens Frame Delay,
# a typed delay and Return set it, and Ctrl+S writes it. Each dialog, once closed, gives the
# keyboard back to the main window, also where no window manager does (X leaves it on the root
# window, where the editor takes no shortcut).
set -uo pipefail
. "$(dirname "$0")/desktop_lib.sh"
vk_setup "$1"

main_has_keys() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$VK_WIN" ]; }

vk_start_editor
TARGET="$VK_TMP/delayed.bnr"
vk_save_untitled "$TARGET"
vk_pointer_to "$VK_WIN"
vk_wait_for 15 main_has_keys || vk_fail "the keyboard stayed away from the main window after Save As"

vk_mark
vk_key ctrl+d
DIALOG=$(vk_wait_window '^Frame Delay$' 15) || vk_fail "Ctrl+D after Save As opened no Frame Delay dialog"
vk_pointer_to "$DIALOG"
vk_type 250
vk_key Return
vk_pointer_to "$VK_WIN"
vk_wait_for 15 main_has_keys || vk_fail "the keyboard stayed away from the main window after Frame Delay"

# The banner has its file now: Ctrl+S writes it again in place.
saved_delay() { "$VK_BIN/vellumark-cli" info "$TARGET" --json 2>/dev/null | grep -q '"frames":\[{[^]]*"delay":250,'; }
vk_key ctrl+s
vk_wait_for 15 saved_delay ||
    vk_fail "Ctrl+S after Frame Delay did not save the typed delay: $("$VK_BIN/vellumark-cli" info "$TARGET" --json 2>&1)"
