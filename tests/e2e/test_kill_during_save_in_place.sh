#!/usr/bin/env bash
# Kills the program (SIGKILL) while it rewrites a big hard-linked file in
# place; the next start leaves the file whole (its old or its new bytes, never
# a mix), says when it put the old ones back, and offers the unsaved text
# from the journal, which Ctrl+S then writes without asking whether another
# program changed the file.
source "$(dirname "$0")/lib.sh"
start_xvfb

file=$E2E_TMP/big.html
old=$E2E_TMP/old.bin
new=$E2E_TMP/new.bin
# About 24 MiB of short lines.
awk 'BEGIN { for (i = 0; i < 800000; i++) printf "<P>line %07d</P>\r\n", i }' >"$old"
cp "$old" "$file"
ln "$file" "$E2E_TMP/second-name.html"
cp "$old" "$new"
printf '<BR>' >>"$new"

start_app -Embedding "$file"
# Loaded: the record that the file is open here is written.
for _ in $(seq 600); do [ -n "$(journal_files)" ] && break; sleep 0.1; done
[ -n "$(journal_files)" ] || fail "no record of the open file"
keys ctrl+End
type_text "<BR>"
wait_for_journal_text "<BR>"
keys ctrl+s
records() { ls "$XDG_STATE_HOME/velm/recovery" 2>/dev/null | grep '\.vsr$' || true; }
# Killed as soon as the record of the save is there: during the rewrite.
recorded=
for _ in $(seq 6000); do
    compgen -G "$XDG_STATE_HOME/velm/recovery/*.vsr" >/dev/null && { recorded=1; break; }
    sleep 0.005
done
kill -9 "$APP_PID"
[ -n "$recorded" ] || fail "the save in place left no record of its intent"
wait "$APP_PID" 2>/dev/null || true
APP_PID=

cmp -s "$file" "$new" && was=new || was=other
launch_app -Embedding
if [ "$was" = other ]; then
    wait_for_message_box # ... の保存が中断されたため、保存前の内容に戻しました。
    keys Return
    cmp -s "$file" "$old" || fail "the file is neither its old nor its new bytes"
fi
wait_for_message_box # 保存されていない変更が見つかりました。復元しますか?
keys Return          # はい
wait_for_window '^big.html - Velm HTML Editor$'
[ "$(stat -c %i "$file")" = "$(stat -c %i "$E2E_TMP/second-name.html")" ] || fail "the hard link is broken"
[ -z "$(records)" ] || fail "records left: $(records)"
[ -z "$(ls -A "$XDG_STATE_HOME/velm/backup")" ] || fail "safety copies left"
xdotool windowfocus --sync "$WID" 2>/dev/null || true
sleep 0.5
keys ctrl+s
for _ in $(seq 300); do cmp -s "$file" "$new" && break; sleep 0.1; done
cmp -s "$file" "$new" || fail "the recovered text was not saved (was: $was)"
close_app
echo "passed (killed with the file $was)"
