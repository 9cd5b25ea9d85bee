#!/usr/bin/env bash
# A new user draws a rectangle (Tools > Rectangle), undoes it with Ctrl+Z and saves, redoes it
# with Ctrl+Shift+Z and saves again: the saves hold no item, then the rectangle. Then the user
# draws another, adds a frame (Frame > Add, which copies the banner for recovery at once) and
# the editor is killed. The next start offers the banner; Return restores it, Ctrl+S saves it
# into its file without asking, and the file holds the frames and items of the recovered copy.
set -uo pipefail
. "$(dirname "$0")/desktop_lib.sh"
vk_setup "$1"
saved="$VK_TMP/banner.bnr"
recovery="$VELLUMARK_HOME/data/Recovery"

info() { "$VK_BIN/vellumark-cli" info "$1" --json 2>/dev/null; }
items() { info "$1" | grep -o '"class"' | wc -l; }
frames() { info "$1" | grep -o '"delay"' | wc -l; }

vk_start_with_rectangle
vk_key ctrl+z
vk_save_untitled "$saved"
[ "$(items "$saved")" -eq 0 ] || vk_fail "the save after Ctrl+Z holds items: $(info "$saved")"

# A click on the banner gives the keys back to the main window after the dialog.
vk_click $((bx + 400)) $((by + 30))
vk_key ctrl+shift+z
vk_key ctrl+s
redone() { [ "$(items "$saved")" -eq 1 ]; }
vk_wait_for 15 redone || vk_fail "the save after Ctrl+Shift+Z does not hold the rectangle: $(info "$saved")"

# Another rectangle and a frame; the frame makes the copy, which is waited for before the kill.
vk_pointer_to "$VK_WIN"
vk_key alt+t r
vk_drag $((bx + 200)) $((by + 5)) $((bx + 300)) $((by + 55))
vk_pointer_to "$VK_WIN"
vk_key alt+r a
copy_made() {
    local f
    for f in "$recovery"/*/*.bnr; do
        [ -f "$f" ] && [ "$(frames "$f")" -eq 2 ] && { copy=$f; return 0; }
    done
    return 1
}
vk_wait_for 30 copy_made || vk_fail "adding a frame made no recovery copy: $(ls -R "$recovery" 2>&1)"
expected=$(info "$copy")
[ "$(items "$copy")" -eq 4 ] || vk_fail "the recovery copy does not hold both rectangles in both frames: $expected"
kill -KILL "$VK_PID"
vk_wait_exit 15 || vk_fail "the editor did not end on SIGKILL"

vk_start_editor
offer=$(vk_wait_window '^Recover Banners$' 30) || vk_fail "the start after the kill offered nothing"
vk_pointer_to "$offer"
vk_key Return
gone() { [ -z "$(xdotool search --onlyvisible --name '^Recover Banners$' 2>/dev/null)" ]; }
vk_wait_for 15 gone || vk_fail "Return did not answer the offer"
# The restored banner's window is the active one; a click on the status bar gives the main
# window the keys again without changing that.
eval "$(xdotool getwindowgeometry --shell "$VK_WIN")"
vk_click $((X + 100)) $((Y + HEIGHT - 8))
vk_key ctrl+s
restored() { [ "$(info "$saved")" = "$expected" ]; }
vk_wait_for 15 restored || vk_fail "the save after restoring does not hold the recovered banner: $(info "$saved") (expected $expected)"
