#!/usr/bin/env bash
# SIGTERM and SIGHUP with unsaved changes end the program at once with exit
# status 0 and no question; the next start offers the changes back.
source "$(dirname "$0")/lib.sh"
start_xvfb

file=$E2E_TMP/page.html
printf '<P>\x82\xa0</P>\r\n' >"$file"

# Ends the program with signal $1 right after an edit, and checks that it
# ended at once with status 0.
end_with_signal() {
    local signal=$1 status=0
    kill -s "$signal" "$APP_PID"
    for _ in $(seq 60); do
        kill -0 "$APP_PID" 2>/dev/null || break
        sleep 0.05
    done
    kill -0 "$APP_PID" 2>/dev/null && fail "still running 3 s after SIG$signal"
    wait "$APP_PID" || status=$?
    APP_PID=
    [ "$status" -eq 0 ] || fail "exit status $status after SIG$signal"
    [ -n "$(journal_files)" ] || fail "no journal after SIG$signal"
}

start_app -Embedding "$file"
keys ctrl+End
type_text "<B>"
end_with_signal TERM

# Kept for later (いいえ): the file opens as it is on disk.
launch_app -Embedding "$file"
wait_for_message_box
keys Escape
wait_for_main_window
[ -n "$(journal_files)" ] || fail "the kept journal is gone"
keys ctrl+End
type_text "<I>"
end_with_signal HUP

# Restored: the later of the two journals is offered first.
launch_app -Embedding
wait_for_message_box
keys Return
wait_for_main_window
keys ctrl+s
expect_file_hex "$file" "$(printf '<P>\x82\xa0</P>\r\n<I>' | od -An -v -tx1 | tr -d ' \n')"
echo "passed"
