# Shared by scripts/run and scripts/screenshots: a Wine prefix for a real
# display, a virtual display when there is none, the demo time server, and the
# settings file beside the program. Source it after setting root and bin.

runner="$root/scripts/winerun"
# Windows need a prefix for a real display: one virtual desktop, Wine's faces.
export TW_WINE_DISPLAY=x11
prefix="$root/build/x64/wineprefix-desktop"
own_display=0
xvfb_pid=""
demo_pid=""

# Starts Xvfb on a free display unless one is given; sets DISPLAY.
open_display() {
    [ -z "${DISPLAY:-}" ] || return 0
    own_display=1
    local n display=""
    for n in $(seq 90 99); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { display=":$n"; break; }
    done
    [ -n "$display" ] || { echo "no free display number for Xvfb" >&2; return 1; }
    Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    export DISPLAY="$display"
    sleep 1
}

close_desktop() {
    "$runner" --prefix "$prefix" --server-stop
    [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
}

start_wine() {
    "$runner" --prefix "$prefix" --server-start
}

remote() { "$runner" --prefix "$prefix" "$bin/twremote.exe" "$@"; }

# Starts the demo server on a free port, serving this PC's time OFFSET seconds
# off; sets port.
start_demo_server() {
    local offset="$1" served="$root/build/x64/timeserver.out"
    rm -f "$served"
    "$runner" --prefix "$prefix" "$bin/timeserver.exe" 0 --offset "$offset" >"$served" 2>&1 &
    demo_pid=$!
    port=""
    for _ in $(seq 1 100); do
        port=$(sed -n 's/^serving .* on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$served" 2>/dev/null)
        [ -n "$port" ] && return 0
        sleep 0.2
    done
    echo "the demo time server did not start:" >&2
    cat "$served" >&2
    return 1
}

# Writes one setting into the settings file beside the program.
set_setting() {
    local ini
    ini="$(cd "$bin" && pwd)/Tickwell.ini"
    remote ini "Z:${ini//\//\\}" "$1" "$2" "$3"
}
