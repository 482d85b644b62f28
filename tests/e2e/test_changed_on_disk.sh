#!/usr/bin/env bash
# Another program changes the open file: Ctrl+S asks before overwriting it
# (いいえ keeps the file), and once the main window is active again after a
# further change, the program offers to read the file again (はい reads it).
source "$(dirname "$0")/lib.sh"
start_xvfb

hex() { od -An -v -tx1 | tr -d ' \n'; }

# Waits until a box titled with the program's name shows; sets BOX.
wait_for_box() {
    for _ in $(seq 200); do
        BOX=$(xdotool search --onlyvisible --name '^Velm HTML Editor$' 2>/dev/null | head -n1 || true)
        [ -n "$BOX" ] && { xdotool windowfocus --sync "$BOX" 2>/dev/null || true; sleep 0.3; return 0; }
        sleep 0.05
    done
    fail "no question box: $1"
}

# Fails when a box titled with the program's name shows within a second.
expect_no_box() {
    sleep 1
    if xdotool search --onlyvisible --name '^Velm HTML Editor$' >/dev/null 2>&1; then
        fail "unexpected box: $1"
    fi
}

file=$E2E_TMP/page.html
printf 'one\n' >"$file"
start_app -Embedding "$file"

keys ctrl+End
type_text "mine"
printf 'theirs, longer\n' >"$file"
keys ctrl+s
wait_for_box "overwrite question"
keys Escape # いいえ
expect_file_hex "$file" "$(printf 'theirs, longer\n' | hex)"
# The window is active again, but this change was already answered.
xdotool windowfocus --sync "$WID" 2>/dev/null || true
expect_no_box "asked twice about one change"

# A further change, then the window becomes active again after a dialog.
printf 'third text\n' >"$file"
keys ctrl+o
sleep 1
keys Escape
sleep 0.3
xdotool windowfocus --sync "$WID" 2>/dev/null || true
wait_for_box "reload question"
keys alt+y # はい
sleep 0.5
expect_no_box "asked again after reading"
# Read again: an unedited save writes the file's bytes, LF line ends kept.
xdotool windowfocus --sync "$WID" 2>/dev/null || true
keys ctrl+End
type_text "x"
keys ctrl+s
expect_file_hex "$file" "$(printf 'third text\nx' | hex)"
close_app
echo "passed"
