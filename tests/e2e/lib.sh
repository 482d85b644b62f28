#!/usr/bin/env bash
# Helpers for end-to-end tests of the real program under Xvfb.
# A test script sources this file with the program's path as its first argument.
set -euo pipefail

VELM=${1:?usage: test_x.sh path/to/velm}
E2E_TMP=$(mktemp -d)
export HOME=$E2E_TMP/home
export XDG_CONFIG_HOME=$HOME/.config
export XDG_STATE_HOME=$HOME/.local/state
export XDG_RUNTIME_DIR=$E2E_TMP/run
export LC_ALL=C.UTF-8
export QT_QPA_PLATFORM=xcb
unset QT_LOGGING_RULES || true
mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

XVFB_PID=
APP_PID=
BUS_PID=
WID=

e2e_cleanup() {
    [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null || true
    [ -n "$BUS_PID" ] && kill "$BUS_PID" 2>/dev/null || true
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$E2E_TMP"
}
trap e2e_cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    if [ -n "${DISPLAY:-}" ] && command -v import >/dev/null; then
        import -window root "${E2E_SHOT:-/tmp/e2e-failure.png}" 2>/dev/null || true
        echo "screen saved to ${E2E_SHOT:-/tmp/e2e-failure.png}" >&2
    fi
    exit 1
}

# Starts a private X server on a free display.
start_xvfb() {
    local fdfile=$E2E_TMP/display
    # -noreset: without it the server resets whenever its last client (a
    # short xdotool call) leaves, and a program connecting meanwhile fails.
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$fdfile" >/dev/null 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 100); do
        [ -s "$fdfile" ] && break
        sleep 0.05
    done
    [ -s "$fdfile" ] || fail "Xvfb did not start"
    export DISPLAY=":$(head -n1 "$fdfile")"
}

# Waits until a window whose title matches $1 is mapped; sets WID.
wait_for_window() {
    local pattern=$1
    for _ in $(seq 200); do
        WID=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null | head -n1 || true)
        [ -n "$WID" ] && return 0
        sleep 0.05
    done
    fail "no window named '$pattern'"
}

# Starts the program with the given arguments and waits for its main window.
start_app() {
    launch_app "$@"
    wait_for_main_window
}

# Starts the program without waiting for anything.
launch_app() {
    "$VELM" "$@" >>"$E2E_TMP/app.log" 2>&1 &
    APP_PID=$!
}

# Waits for the program's main window and focuses it.
wait_for_main_window() {
    wait_for_window ' - Velm HTML Editor$'
    xdotool windowfocus --sync "$WID" 2>/dev/null || true
    sleep 0.3
}

# Waits for a message box (titled with the program's name) and focuses it.
wait_for_message_box() {
    wait_for_window '^Velm HTML Editor$'
    xdotool windowfocus --sync "$WID" 2>/dev/null || true
    sleep 0.3
}

# The recovery journals in the state folder.
journal_files() {
    ls -1 "$XDG_STATE_HOME/velm/recovery" 2>/dev/null | grep '\.vjr$' || true
}

# Waits (up to 20 s, for a loaded machine) until a journal holds the ASCII
# text `$1` (stored as UTF-16LE).
wait_for_journal_text() {
    local pattern i f
    pattern=$(printf '%s' "$1" | sed 's/./&\\x00/g')
    for i in $(seq 1 200); do
        for f in $(journal_files); do
            grep -qaP "$pattern" "$XDG_STATE_HOME/velm/recovery/$f" && return 0
        done
        sleep 0.1
    done
    fail "no journal holds '$1' (journals: $(journal_files))"
}

# Sends key presses to the focused window, e.g. keys ctrl+s.
keys() {
    xdotool key --delay 40 "$@"
}

# Types plain ASCII text.
type_text() {
    xdotool type --delay 30 "$1"
}

# Waits until the file's bytes equal the hex string $2.
expect_file_hex() {
    local file=$1 expected=$2 actual=
    for _ in $(seq 100); do
        actual=$(od -An -v -tx1 "$file" 2>/dev/null | tr -d ' \n' || true)
        [ "$actual" = "$expected" ] && return 0
        sleep 0.05
    done
    fail "bytes of $file: expected $expected, got $actual"
}

# Ends the program through its exit command (ﾌｧｲﾙ > ｱﾌﾟﾘｹｰｼｮﾝの終了) and
# waits for it to end.
close_app() {
    [ -n "$APP_PID" ] || return 0
    xdotool windowfocus --sync "$WID" 2>/dev/null || true
    keys alt+f
    sleep 0.3
    keys x
    for _ in $(seq 100); do
        kill -0 "$APP_PID" 2>/dev/null || { APP_PID=; return 0; }
        sleep 0.05
    done
    fail "the program did not end"
}

# Starts a private D-Bus session bus and has the program publish its
# accessibility tree there (read with tests/e2e/a11y.py).
start_accessibility() {
    local addrfile=$E2E_TMP/bus
    dbus-daemon --session --nofork --print-address=3 3>"$addrfile" >/dev/null 2>&1 &
    BUS_PID=$!
    for _ in $(seq 100); do
        [ -s "$addrfile" ] && break
        sleep 0.05
    done
    [ -s "$addrfile" ] || fail "no D-Bus session bus"
    export DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$addrfile")
    export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
}

A11Y="/usr/bin/python3 $(dirname "${BASH_SOURCE[0]}")/a11y.py"

# Waits (up to 20 s) until the object named $1 has the description $2.
wait_for_description() {
    local actual=
    for _ in $(seq 200); do
        actual=$(timeout 10 $A11Y describe "$1" 2>/dev/null || true)
        [ "$actual" = "$2" ] && return 0
        sleep 0.1
    done
    fail "'$1' reads '$actual', expected '$2'"
}

# Clicks the middle of the object named $1.
click_accessible() {
    local x y w h
    read -r x y w h < <(timeout 10 $A11Y extents "$1") || fail "no object named '$1'"
    xdotool mousemove $((x + w / 2)) $((y + h / 2)) click 1
}
