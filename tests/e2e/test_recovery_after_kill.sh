#!/usr/bin/env bash
# Types into a Shift-JIS file, waits for the journal, kills the program with
# SIGKILL; the next start offers the unsaved text back, and Ctrl+S writes it
# to the file byte for byte. Then the same with a big page and several
# pauses in typing before the kill.
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

# A big page and several pauses: the first pause writes the text whole, the
# later ones append their edits; all of them come back.
big=$E2E_TMP/big.html
awk 'BEGIN { for (i = 0; i < 140000; i++) printf "<P>line %d of a big page, <B>bold</B> and <I>italic</I></P>\r\n", i }' >"$big"
cp "$big" "$E2E_TMP/big.orig"
start_app -Embedding "$big"
# The window comes first; typing waits until its title names the page.
for _ in $(seq 600); do
    [ "$(xdotool getwindowname "$WID" 2>/dev/null)" = 'big.html - Velm HTML Editor' ] && break
    sleep 0.1
done
[ "$(xdotool getwindowname "$WID")" = 'big.html - Velm HTML Editor' ] || fail "the big page did not open"
sleep 0.5
keys ctrl+End
type_text "AAA"
wait_for_journal_text "AAA"
journal=$XDG_STATE_HOME/velm/recovery/$(journal_files)
base_size=$(stat -c %s "$journal")
[ "$base_size" -gt 16000000 ] || fail "the first pause wrote $base_size bytes, not the text"
for word in BBB CCC DDD; do
    sleep 2.5
    type_text "$word"
    wait_for_journal_text "$word"
done
size=$(stat -c %s "$journal")
[ $((size - base_size)) -lt 4096 ] || fail "later pauses wrote $((size - base_size)) bytes"
kill -9 "$APP_PID"
wait "$APP_PID" 2>/dev/null || true
APP_PID=
cmp -s "$big" "$E2E_TMP/big.orig" || fail "the big page changed"

launch_app -Embedding
wait_for_message_box
keys Return # はい: restore
wait_for_main_window
keys ctrl+s
{ cat "$E2E_TMP/big.orig"; printf 'AAABBBCCCDDD'; } >"$E2E_TMP/big.expected"
for _ in $(seq 100); do
    cmp -s "$big" "$E2E_TMP/big.expected" && break
    sleep 0.1
done
cmp -s "$big" "$E2E_TMP/big.expected" || fail "the big page saved after recovery differs"
close_app
[ -z "$(journal_files)" ] || fail "journals left: $(journal_files)"
echo "passed"
