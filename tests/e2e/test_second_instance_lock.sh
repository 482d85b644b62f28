#!/usr/bin/env bash
# A second instance that opens a file the first one is editing asks first;
# declined, it starts with an empty pane and the file stays with the first.
source "$(dirname "$0")/lib.sh"
start_xvfb

file=$E2E_TMP/page.html
printf '<P>x</P>\r\n' >"$file"
start_app -Embedding "$file"
first_pid=$APP_PID
first_wid=$WID
[ -n "$(journal_files)" ] || fail "no owner record for the open file"

launch_app -Embedding "$file"
second_pid=$APP_PID
wait_for_message_box # ... はほかのｳｨﾝﾄﾞｳで編集中です。開きますか?
keys Escape          # いいえ
wait_for_window '^無題 - Velm HTML Editor$'
kill -0 "$second_pid" 2>/dev/null || fail "the second instance ended"
close_app
APP_PID=$first_pid
WID=$first_wid
[ "$(xdotool getwindowname "$WID")" = "page.html - Velm HTML Editor" ] || fail "first window changed"
close_app
# Both closed unmodified: no record is left.
[ -z "$(journal_files)" ] || fail "records left: $(journal_files)"
echo "passed"
