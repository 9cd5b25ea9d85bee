# Shared steps of the desktop tests: the real editor under its own Xvfb display, driven from outside
# its process with xdotool, checked by what it saves. Source this file, then call vk_setup "$BIN_DIR".
# There is no window manager: keys go to the window under the pointer, so every key step first puts
# the pointer over the window that should take it.

vk_fail() {
    echo "FAIL: $*" >&2
    if [ -n "${VK_TMP:-}" ] && [ -n "${DISPLAY:-}" ]; then
        import -display "$DISPLAY" -window root "$VK_TMP/failure.png" 2>/dev/null &&
            echo "screen at failure: $VK_TMP/failure.png (kept)" >&2
        VK_KEEP=1
    fi
    exit 1
}

vk_cleanup() {
    [ -n "${VK_PID:-}" ] && kill "$VK_PID" 2>/dev/null
    [ -n "${VK_XVFB_PID:-}" ] && kill "$VK_XVFB_PID" 2>/dev/null
    for pid in ${VK_EXTRA_PIDS:-}; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    if [ -n "${VK_TMP:-}" ] && [ -z "${VK_KEEP:-}" ]; then rm -rf "$VK_TMP"; fi
}

# vk_setup BIN_DIR: an own display, an own VELLUMARK_HOME and XDG_RUNTIME_DIR, cleanup at exit.
vk_setup() {
    VK_BIN=$(cd "$1" && pwd) || { echo "no bin folder $1" >&2; exit 1; }
    command -v Xvfb >/dev/null && command -v xdotool >/dev/null ||
        { echo "Xvfb and xdotool are needed (scripts/install-deps.sh)" >&2; exit 1; }
    VK_TMP=$(mktemp -d /tmp/vk-desktop.XXXXXX)
    trap vk_cleanup EXIT
    export VELLUMARK_HOME="$VK_TMP/home" XDG_RUNTIME_DIR="$VK_TMP/run"
    mkdir -p "$VELLUMARK_HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
    unset QT_QPA_PLATFORM WAYLAND_DISPLAY
    # Each try takes a display number of its own: Xvfb locks it or exits at once. (Letting
    # several Xvfb pick a free number side by side races: one can take another's socket.)
    # -noreset: by default the server starts over when its last client leaves (an editor that
    # was killed, say), and an editor started in that moment cannot connect.
    local n i
    for n in $(shuf -i 20-999 -n 40); do
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp -noreset >"$VK_TMP/xvfb.log" 2>&1 &
        VK_XVFB_PID=$!
        for i in $(seq 1 100); do
            kill -0 "$VK_XVFB_PID" 2>/dev/null || break
            # Only once the lock names our server is an answer on :n its answer.
            [ "$(tr -d ' \n' 2>/dev/null <"/tmp/.X$n-lock")" = "$VK_XVFB_PID" ] &&
                DISPLAY=":$n" xdotool getdisplaygeometry >/dev/null 2>&1 && { export DISPLAY=":$n"; return 0; }
            sleep 0.1
        done
        kill "$VK_XVFB_PID" 2>/dev/null
        wait "$VK_XVFB_PID" 2>/dev/null
        VK_XVFB_PID=
    done
    vk_fail "Xvfb did not start: $(cat "$VK_TMP/xvfb.log")"
}

# vk_windows: ids of the visible windows, one a line.
vk_windows() { xdotool search --onlyvisible --name '.*' 2>/dev/null | sort; }

# vk_wait_for SECS COMMAND...: runs COMMAND every 0.1 s until it succeeds or SECS pass.
vk_wait_for() {
    local secs=$1; shift
    local end=$((SECONDS + secs))
    until "$@"; do
        [ $SECONDS -ge $end ] && return 1
        sleep 0.1
    done
}

# vk_start_editor [ARGS...]: starts the editor, waits for its main window ($VK_PID, $VK_WIN).
vk_start_editor() {
    VK_BEFORE=$(vk_windows)
    QT_QPA_PLATFORM=xcb "$VK_BIN/vellumark" "$@" >"$VK_TMP/editor.log" 2>&1 &
    VK_PID=$!
    _vk_main() {
        kill -0 "$VK_PID" 2>/dev/null || vk_fail "the editor exited: $(cat "$VK_TMP/editor.log")"
        VK_WIN=$(xdotool search --all --onlyvisible --pid "$VK_PID" --name '^Vellumark' 2>/dev/null | head -n1)
        [ -n "$VK_WIN" ]
    }
    vk_wait_for 30 _vk_main || vk_fail "no main window within 30 s"
    # The splash keeps input from the main window while it is up (at least 2.5 s).
    vk_wait_for 30 vk_no_splash || vk_fail "the splash did not go within 30 s"
    vk_settle
}

# vk_splash: the id of the editor's visible splash window, if any; vk_no_splash: none is shown.
vk_splash() { xdotool search --all --onlyvisible --pid "$VK_PID" --name '^Starting Vellumark$' 2>/dev/null | head -n1; }
vk_no_splash() { [ -z "$(vk_splash)" ]; }

# vk_settle: waits until the editor has handled what was sent so far (its window answers queries
# and the screen stops changing).
vk_settle() {
    local a b
    sleep 0.2
    a=$(import -display "$DISPLAY" -window root rgb:- 2>/dev/null | md5sum)
    for _ in $(seq 1 50); do
        sleep 0.1
        b=$(import -display "$DISPLAY" -window root rgb:- 2>/dev/null | md5sum)
        [ "$a" = "$b" ] && return 0
        a=$b
    done
}

# vk_wait_window REGEX [SECS]: echoes the id of a visible window whose name matches REGEX and that
# was not visible at the last vk_start_editor / vk_mark.
vk_mark() { VK_BEFORE=$(vk_windows); }
vk_wait_window() {
    local regex=$1 secs=${2:-15} id
    _vk_new() {
        for id in $(xdotool search --onlyvisible --name "$regex" 2>/dev/null); do
            if ! grep -qx "$id" <<<"$VK_BEFORE"; then VK_FOUND=$id; return 0; fi
        done
        return 1
    }
    VK_FOUND=
    vk_wait_for "$secs" _vk_new || return 1
    echo "$VK_FOUND"
}

# vk_pointer_to WIN: puts the pointer in the middle of a window, so it takes the keys.
vk_pointer_to() {
    local X Y WIDTH HEIGHT SCREEN WINDOW
    eval "$(xdotool getwindowgeometry --shell "$1")"
    xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2))
}

vk_key() { xdotool key --delay 60 "$@"; vk_settle; }
vk_type() { xdotool type --delay 40 "$1"; vk_settle; }
vk_click() { xdotool mousemove "$1" "$2" click 1; vk_settle; }
vk_shot() { import -display "$DISPLAY" -window root "$1"; }

# vk_drag X1 Y1 X2 Y2: press at the first point, move there in steps, release at the second.
vk_drag() {
    local x1=$1 y1=$2 x2=$3 y2=$4 i
    xdotool mousemove "$x1" "$y1"
    sleep 0.1
    xdotool mousedown 1
    for i in 1 2 3 4 5 6 7 8; do
        xdotool mousemove $((x1 + (x2 - x1) * i / 8)) $((y1 + (y2 - y1) * i / 8))
        sleep 0.05
    done
    xdotool mouseup 1
    vk_settle
}

# vk_banner_origin: "X Y" of the screen pixel that shows banner pixel 0,0 in the Banner View at
# 100 % zoom. The banner is found as the 468 x 60 block of its background colour (white for a new
# banner) on the screen.
vk_banner_origin() {
    local shot="$VK_TMP/origin.png" colour=${1:-white} geometry
    vk_shot "$shot"
    geometry=$(convert "$shot" -fill black +opaque "$colour" -fill white -opaque "$colour" \
        -define connected-components:verbose=true -define connected-components:area-threshold=20000 \
        -connected-components 4 null: 2>/dev/null |
        awk '$2 ~ /^468x60\+/ && $NF ~ /gray\(255\)|srgb\(255,255,255\)|white/ {print $2; exit}')
    [ -n "$geometry" ] || return 1
    geometry=${geometry#468x60+}
    echo "${geometry%+*} ${geometry#*+}"
}

# vk_wait_exit [SECS]: waits until the editor has ended; its exit code is in $VK_RC.
vk_wait_exit() {
    local secs=${1:-15}
    _vk_gone() { ! [ -e "/proc/$VK_PID" ] || grep -q '^[0-9]* ([^)]*) Z' "/proc/$VK_PID/stat" 2>/dev/null; }
    vk_wait_for "$secs" _vk_gone || return 1
    wait "$VK_PID"; VK_RC=$?
    VK_PID=
}

# vk_wait_file PATH [SECS]: waits until PATH exists and has stopped growing.
vk_wait_file() {
    local path=$1 secs=${2:-15}
    _vk_file() { [ -s "$path" ]; }
    vk_wait_for "$secs" _vk_file || return 1
    sleep 0.3
}

# vk_start_with_rectangle: starts the editor and draws a rectangle with Tools > Rectangle, dragged
# from banner pixel 20,10 to 120,50; the banner's screen origin is left in bx, by.
vk_start_with_rectangle() {
    vk_start_editor
    read -r bx by < <(vk_banner_origin) || vk_fail "no white 468 x 60 banner on the screen"
    vk_click $((bx + 400)) $((by + 30))
    vk_pointer_to "$VK_WIN"
    vk_key alt+t r
    vk_drag $((bx + 20)) $((by + 10)) $((bx + 120)) $((by + 50))
}

# vk_save_untitled PATH: Ctrl+S on a never-saved banner opens Save As; PATH is typed into it and
# Return saves. Waits for the file.
vk_save_untitled() {
    local dialog
    vk_pointer_to "$VK_WIN"
    vk_mark
    vk_key ctrl+s
    dialog=$(vk_wait_window '^Save As$' 15) || vk_fail "Ctrl+S opened no Save As dialog"
    vk_pointer_to "$dialog"
    vk_type "$1"
    vk_key Return
    vk_wait_file "$1" 15 || vk_fail "Return in the Save As dialog saved nothing"
}
