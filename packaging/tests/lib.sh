# Shared by the package tests: the Wine runner, the demo time server, checks.
# Source it after setting root (the source tree) and build (build/x64).

runner="$root/scripts/winerun"
bin="$build/bin"
passes=0
failures=0
demo_pid=""

say() { printf '%s\n' "$*"; }
fail() { say "FAIL: $*"; failures=$((failures + 1)); }
pass() { say "ok:   $*"; passes=$((passes + 1)); }
# check DESCRIPTION COMMAND...: a failing command is counted, the test goes on.
check() {
    local what="$1"
    shift
    if "$@"; then pass "$what"; else fail "$what"; fi
}
# check_not DESCRIPTION COMMAND...: passes when the command fails.
check_not() {
    local what="$1"
    shift
    if "$@"; then fail "$what"; else pass "$what"; fi
}
# Ends the test at once: what follows depends on this.
require() {
    local what="$1"
    shift
    if "$@"; then pass "$what"; else fail "$what"; finish; fi
}
finish() {
    say "$passes passed, $failures failed"
    [ "$failures" -eq 0 ] && exit 0
    exit 1
}

# wine PREFIX PROGRAM [ARGS...]
wine_in() {
    local prefix="$1"
    shift
    "$runner" --prefix "$prefix" "$@"
}

# wine_output PREFIX PROGRAM [ARGS...]: the program's output (both streams,
# without CRs) and its exit code. Through a file, not a pipe: a process Wine
# starts for the prefix meanwhile (the desktop's explorer.exe) inherits the
# program's output and would keep a pipe open as long as the prefix lives.
wine_output() {
    local out rc
    out=$(mktemp)
    wine_in "$@" >"$out" 2>&1
    rc=$?
    tr -d '\r' <"$out"
    rm -f "$out"
    return "$rc"
}

# The Windows path of a file on the Linux side (Wine's Z: drive).
winpath() { local p; p=$(cd "$(dirname "$1")" && pwd)/$(basename "$1"); printf 'Z:%s' "${p//\//\\}"; }

# start_timeserver PREFIX OFFSET [--rfc868]: a local time server on a free
# port serving this PC's time OFFSET seconds ahead; sets port.
start_timeserver() {
    local prefix="$1" offset="$2" served
    shift 2
    served=$(mktemp)
    # Started directly, not through a function: $! is then the server itself
    # (the runner execs Wine), which stop_timeserver can end.
    "$runner" --prefix "$prefix" "$bin/timeserver.exe" 0 --offset "$offset" "$@" >"$served" 2>&1 &
    demo_pid=$!
    port=""
    # Up to two minutes: the first program of a new Wine server also starts the
    # prefix's services, which on a loaded machine takes more than half a minute.
    for _ in $(seq 1 600); do
        port=$(sed -n 's/^serving .* on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$served")
        [ -n "$port" ] && break
        kill -0 "$demo_pid" 2>/dev/null || break
        sleep 0.2
    done
    [ -n "$port" ] || sed 's/^/      timeserver: /' "$served"
    rm -f "$served"
    [ -n "$port" ]
}
stop_timeserver() {
    if [ -n "$demo_pid" ]; then
        kill "$demo_pid" 2>/dev/null
        wait "$demo_pid" 2>/dev/null
    fi
    demo_pid=""
}
