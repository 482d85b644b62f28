#!/usr/bin/env bash
# Starts the real program on a 16 MiB Shift-JIS page, slowed down
# (VELM_LOAD_STEP_DELAY_MS), and types "x" then Ctrl+S the moment the window
# shows, while the page still loads: the first title seen names the file,
# and once the page is complete the one save writes the page with "x" at
# its start (where the caret starts) to the file itself, nothing else
# changed.
source "$(dirname "$0")/lib.sh"
start_xvfb

file=$E2E_TMP/big.html
row=$(printf '<TR><TD>\x93\xfa\x96\x7b\x8c\xea \xc3\xbd\xc4 sample text</TD></TR>\r\n')
{ yes "$row" | head -c 16777216; } >"$file" || true
[ "$(stat -c %s "$file")" = 16777216 ] || fail "could not write the test file"
expected=$E2E_TMP/expected
{ printf 'x'; cat "$file"; } >"$expected"

# 16 decoding steps of 0.15 s: the page is still loading when the keys come.
VELM_LOAD_STEP_DELAY_MS=150 launch_app -Embedding "$file"
# The first title the program's window shows, polled from the start (Qt's
# hidden helper window, titled with the program's name alone, is never shown).
first=
for _ in $(seq 2000); do
    for id in $(xdotool search --onlyvisible --name 'Velm HTML Editor' 2>/dev/null || true); do
        first=$(xdotool getwindowname "$id" 2>/dev/null || true)
        [ -n "$first" ] && break 2
    done
    sleep 0.01
done
[ "$first" = 'big.html - Velm HTML Editor' ] || fail "the first title does not name the file: '$first'"
wait_for_window '^big.html - Velm HTML Editor$'
xdotool windowfocus --sync "$WID" 2>/dev/null || true
type_text "x"
keys ctrl+s
sleep 0.5
cmp -s "$file" "$expected" && fail "the page had loaded before the keys came; nothing was tested"

for _ in $(seq 600); do
    cmp -s "$file" "$expected" && break
    sleep 0.1
done
cmp -s "$file" "$expected" || fail "the saved file is not \"x\" and the page ($(stat -c %s "$file") bytes)"
[ "$(ls "$E2E_TMP" | grep -c '\.html')" = 1 ] || fail "another file was written: $(ls "$E2E_TMP")"
close_app
echo "passed"
