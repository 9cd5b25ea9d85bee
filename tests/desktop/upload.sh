#!/usr/bin/env bash
# A new user's road to the banner server, keyboard only, against a real bannerd: Server > Login,
# name, Tab, password, Enter; Server > Upload GIF; in the page Tab to the file field, Space for the
# file chooser, a typed path and Enter; Tab to the upload button, Enter. bannerd then holds the
# very bytes of that GIF under the user's folder.
set -uo pipefail
. "$(dirname "$0")/desktop_lib.sh"
vk_setup "$1"
# The editor itself prepares its browser for root and for a display without a GPU.
unset QTWEBENGINE_DISABLE_SANDBOX QTWEBENGINE_CHROMIUM_FLAGS

server="$VK_TMP/bannerd"
mkdir -p "$server"
printf 'open sesame\n' | "$VK_BIN/bannerd" adduser --db "$server/accounts.db" ann 2>"$server/adduser.log" ||
    vk_fail "bannerd adduser: $(cat "$server/adduser.log")"
"$VK_BIN/bannerd" serve --db "$server/accounts.db" --data "$server/banners" --listen 127.0.0.1 \
    --port 0 --http-port 0 >"$server/out" 2>"$server/log" &
VK_EXTRA_PIDS=$!
vk_wait_for 30 grep -qs '^listening' "$server/out" || vk_fail "bannerd did not start: $(cat "$server/log")"
port=$(sed -n 's/^listening protocol=\([0-9]*\) .*/\1/p' "$server/out")
mkdir -p "$VELLUMARK_HOME/config"
printf '{"keys": {"Software\\\\Corvanta\\\\Vellumark": {"ServerHost": {"sz": "127.0.0.1"}, "ServerPort": {"dword": %s}}}}\n' \
    "$port" >"$VELLUMARK_HOME/config/user.json"

gif="$VK_TMP/my banner.gif"
/usr/bin/convert -size 468x60 gradient:orange-navy "gif:$gif" || vk_fail "no GIF to upload"

vk_start_editor
read -r bx by < <(vk_banner_origin) || vk_fail "no banner on the screen"
vk_click $((bx + 10)) $((by + 10))

# Server > Login.
vk_pointer_to "$VK_WIN"
vk_mark
vk_key alt+s l
login=$(vk_wait_window '^Login$') || vk_fail "no Login dialog"
vk_pointer_to "$login"
vk_type ann
vk_key Tab
vk_type 'open sesame'
vk_mark
vk_key Return
answer=$(vk_wait_window '.*' 30) || vk_fail "no answer to the login"
vk_pointer_to "$answer"
vk_key Return
grep -q 'login ann' "$server/log" || vk_fail "bannerd saw no login: $(cat "$server/log")"

# Server > Upload GIF: the upload page in the Internet dialog. Without a window manager the
# main window is active again only once clicked.
vk_click $((bx + 10)) $((by + 10))
vk_mark
vk_key alt+s u
dialog=$(vk_wait_window '^Vellumark: Internet Dialog$' 60) || vk_fail "no upload dialog"
vk_pointer_to "$dialog"
# The page has drawn once the top of the browser shows dark text on white (not blank, not black).
_page_drawn() {
    local X Y WIDTH HEIGHT SCREEN WINDOW mean
    eval "$(xdotool getwindowgeometry --shell "$dialog")"
    mean=$(import -display "$DISPLAY" -window "$dialog" -crop "$((WIDTH - 40))x$((HEIGHT / 3))+20+20" \
        -colorspace gray -format '%[fx:mean]' info: 2>/dev/null)
    awk -v m="${mean:-1}" 'BEGIN { exit !(m > 0.5 && m < 0.995) }'
}
vk_wait_for 90 _page_drawn || vk_fail "the upload page was not drawn"
vk_settle

# The file field, its chooser, the typed path.
vk_key Tab
vk_mark
vk_key space
chooser=$(vk_wait_window '.*' 30) || vk_fail "no file chooser"
vk_pointer_to "$chooser"
vk_type "$gif"
vk_key Return
_chooser_gone() { ! vk_windows | grep -qx "$chooser"; }
vk_wait_for 15 _chooser_gone || vk_fail "the file chooser stayed open"

# The upload button.
vk_pointer_to "$dialog"
vk_key Tab
vk_key Return

_stored() { stored=$(find "$server/banners/ann" -name '*.gif' 2>/dev/null | head -n1); [ -n "$stored" ]; }
vk_wait_for 60 _stored || vk_fail "bannerd holds no banner for ann: $(cat "$server/log")"
vk_wait_file "$stored"
cmp -s "$stored" "$gif" || vk_fail "the stored banner differs from the chosen GIF"
echo "uploaded: $stored"
