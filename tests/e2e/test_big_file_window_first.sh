#!/usr/bin/env bash
# Starts the real program on a 16 MiB Shift-JIS page: the main window is
# mapped while the file still loads, its first title naming the file.
# Then starts it again on the page, slowed down (VELM_LOAD_STEP_DELAY_MS, a
# wait after each decoding step), and cancels the load with Esc: the program
# goes on with an empty untitled document.
source "$(dirname "$0")/lib.sh"
start_xvfb

file=$E2E_TMP/big.html
# One row: markup, Japanese in Shift-JIS, half-width katakana.
row=$(printf '<TR><TD>\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x83\x65\x83\x4c\x83\x58\x83\x67 \xc3\xbd\xc4 sample text</TD></TR>\r\n')
{ yes "$row" | head -c 16777216; } >"$file" || true
[ "$(stat -c %s "$file")" = 16777216 ] || fail "could not write the test file"

untitled='無題 - Velm HTML Editor'
named='big.html - Velm HTML Editor'

# The first title seen on the mapped window, polled as fast as xdotool goes.
launch_app -Embedding "$file"
first=
for _ in $(seq 2000); do
    WID=$(xdotool search --onlyvisible --name ' - Velm HTML Editor$' 2>/dev/null | head -n1 || true)
    if [ -n "$WID" ]; then
        first=$(xdotool getwindowname "$WID" 2>/dev/null || true)
        [ -n "$first" ] && break
    fi
    sleep 0.01
done
[ -n "$first" ] || fail "the main window was not mapped"
xwininfo -id "$WID" | grep -q 'Map State: IsViewable' || fail "the main window is not viewable"
[ "$first" = "$named" ] || fail "the first mapped title does not name the file: '$first'"
# Ended at once, loaded or not: a termination signal cancels a load.
kill -TERM "$APP_PID"
for _ in $(seq 100); do
    kill -0 "$APP_PID" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$APP_PID" 2>/dev/null && fail "the program did not end on SIGTERM"
APP_PID=

# A slow load, cancelled by Esc.
VELM_LOAD_STEP_DELAY_MS=400 launch_app -Embedding "$file"
wait_for_window "^$named\$"
xdotool windowfocus --sync "$WID" 2>/dev/null || true
sleep 0.8
keys Escape
# Long after the slowed load would have ended (16 steps of 0.4 s).
sleep 8
kill -0 "$APP_PID" 2>/dev/null || fail "the program ended"
title=$(xdotool getwindowname "$WID")
[ "$title" = "$untitled" ] || fail "after Esc the title is '$title'"
# What the pane holds goes to the journal once it changes: one typed letter,
# no text of the file.
type_text "Z"
journal=
for _ in $(seq 100); do
    journal=$(journal_files | head -n1)
    [ -n "$journal" ] && od -An -v -tx1 "$XDG_STATE_HOME/velm/recovery/$journal" | tr -d ' \n' | grep -q '5a00' && break
    journal=
    sleep 0.1
done
[ -n "$journal" ] || fail "no journal with the typed letter"
size=$(stat -c %s "$XDG_STATE_HOME/velm/recovery/$journal")
[ "$size" -lt 4096 ] || fail "the journal holds more than the typed letter ($size bytes)"
echo "passed"
