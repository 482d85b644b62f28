#!/usr/bin/env bash
# Types into a Shift-JIS file, waits for the journal, kills the program with
# SIGKILL; the next start offers the unsaved text back, and Ctrl+S writes it
# to the file byte for byte.
source "$(dirname "$0")/lib.sh"
start_xvfb

file=$E2E_TMP/page.html
# "<P>あいう</P>" CR LF, an invalid byte 0x80, "</HTML>" without a line end
printf '<P>\x82\xa0\x82\xa2\x82\xa4</P>\r\n\x80</HTML>' >"$file"
start_app -Embedding "$file"
keys ctrl+End
type_text "<BR>"
xdotool type --delay 60 "日本"
sleep 3
wait_for_journal_text "<BR>"
kill -9 "$APP_PID"
wait "$APP_PID" 2>/dev/null || true
APP_PID=
# The file itself is untouched.
expect_file_hex "$file" "$(printf '<P>\x82\xa0\x82\xa2\x82\xa4</P>\r\n\x80</HTML>' | od -An -v -tx1 | tr -d ' \n')"

launch_app -Embedding
wait_for_message_box
keys Return # はい: restore
wait_for_main_window
keys ctrl+s
expect_file_hex "$file" "$(printf '<P>\x82\xa0\x82\xa2\x82\xa4</P>\r\n\x80</HTML><BR>\x93\xfa\x96\x7b' | od -An -v -tx1 | tr -d ' \n')"
close_app
# Saved and closed: nothing is left to recover.
[ -z "$(journal_files)" ] || fail "journals left: $(journal_files)"
echo "passed"
