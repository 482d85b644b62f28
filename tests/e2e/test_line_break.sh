#!/usr/bin/env bash
# Ctrl+Enter in the real program inserts the line-break tag with CR LF, on
# the main Enter key and on the keypad's, in place of a selection; Ctrl+S
# saves it.
source "$(dirname "$0")/lib.sh"
start_xvfb

file=$E2E_TMP/page.html
printf 'ab' >"$file"
start_app -Embedding "$file"

keys ctrl+End
keys ctrl+Return
type_text "c"
keys ctrl+KP_Enter
# A selected word is replaced by the tag, not kept.
type_text "xyz"
keys shift+Home
keys ctrl+Return
keys ctrl+s
expect_file_hex "$file" "$(printf 'ab<BR>\r\nc<BR>\r\n<BR>\r\n' | od -An -v -tx1 | tr -d ' \n')"
close_app
echo "passed"
