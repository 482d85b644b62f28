#!/usr/bin/env bash
# The HTML check in the real program: a page with a missing end tag shows
# "問題 1" in the status bar's check pane; a click on the pane opens the
# list, and choosing its entry puts the caret on that line.
source "$(dirname "$0")/lib.sh"
start_xvfb
start_accessibility

file=$E2E_TMP/page.html
printf '<!DOCTYPE html>\r\n<html><head><title>t</title></head><body>\r\n<p>one</p>\r\n<div>two\r\n<p>three</p>\r\n</body></html>\r\n' >"$file"
start_app -Embedding "$file"

wait_for_description "検査" "問題 1"
click_accessible "検査"
sleep 0.5
click_accessible "<div> の終了タグ </div> がありません"
sleep 0.3
type_text "Z"
keys ctrl+s
expect_file_hex "$file" "$(printf '<!DOCTYPE html>\r\n<html><head><title>t</title></head><body>\r\n<p>one</p>\r\nZ<div>two\r\n<p>three</p>\r\n</body></html>\r\n' | od -An -v -tx1 | tr -d ' \n')"
# The added letter before the tag leaves the mistake where it was.
wait_for_description "検査" "問題 1"
close_app
echo "passed"
