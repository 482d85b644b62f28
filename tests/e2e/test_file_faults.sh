#!/usr/bin/env bash
# The real program against file faults: a FIFO given on the command line is
# refused at once instead of blocking the start, and under a file-size limit
# a save that grows the file fails with a message instead of killing the
# program, leaving the file as it was.
source "$(dirname "$0")/lib.sh"
start_xvfb

# Waits until the program's message box (titled with the program's name
# alone) is shown; sets BOX.
wait_for_message_box() {
    BOX=
    for _ in $(seq 200); do
        BOX=$(xdotool search --onlyvisible --name '^Velm HTML Editor$' 2>/dev/null | head -n1 || true)
        [ -n "$BOX" ] && return 0
        kill -0 "$APP_PID" 2>/dev/null || fail "the program ended without a message"
        sleep 0.05
    done
    fail "no message box"
}

# A FIFO: the message comes, and dismissing it ends the program with 1.
mkfifo "$E2E_TMP/pipe.html"
"$VELM" -Embedding "$E2E_TMP/pipe.html" >"$E2E_TMP/app.log" 2>&1 &
APP_PID=$!
wait_for_message_box
xdotool windowfocus --sync "$BOX" 2>/dev/null || true
keys Return
status=0
for _ in $(seq 100); do
    kill -0 "$APP_PID" 2>/dev/null || break
    sleep 0.05
done
wait "$APP_PID" || status=$?
APP_PID=
[ "$status" -eq 1 ] || fail "refused FIFO: exit status $status, expected 1"
[ -p "$E2E_TMP/pipe.html" ] || fail "the FIFO was replaced"

# A file-size limit of 8 KiB and a 6000-byte file that doubles on save.
file=$E2E_TMP/page.html
{
    printf '<HTML>\r\n'
    for _ in $(seq 120); do printf '<P>line of text, forty-odd bytes</P>\r\n'; done
    printf '</HTML>\r\n'
} >"$file"
before=$(od -An -v -tx1 "$file" | tr -d ' \n')
prlimit --fsize=8192:8192 "$VELM" -Embedding "$file" >"$E2E_TMP/app.log" 2>&1 &
APP_PID=$!
wait_for_window ' - Velm HTML Editor$'
xdotool windowfocus --sync "$WID" 2>/dev/null || true
sleep 0.3
keys ctrl+a ctrl+c ctrl+End ctrl+v
sleep 0.3
keys ctrl+s
wait_for_message_box
kill -0 "$APP_PID" 2>/dev/null || fail "the program died on the save"
expect_file_hex "$file" "$before"
xdotool windowfocus --sync "$BOX" 2>/dev/null || true
keys Return
sleep 0.5
kill -0 "$APP_PID" 2>/dev/null || fail "the program died after the message"
[ -z "$(find "$E2E_TMP" -maxdepth 1 -name '.velm*')" ] || fail "a temporary file was left"
echo "passed"
