#!/usr/bin/env bash
# Opens a Shift-JIS file in the real program, edits it with the keyboard and
# saves it with Ctrl+S: the file keeps every byte it had, plus the edit.
source "$(dirname "$0")/lib.sh"
start_xvfb

file=$E2E_TMP/page.html
# "<P>あいう ﾃｽﾄ</P>" CR LF, an invalid byte 0x80, and "</HTML>" without a line end
printf '<P>\x82\xa0\x82\xa2\x82\xa4 \xc3\xbd\xc4</P>\r\n\x80</HTML>' >"$file"
start_app -Embedding "$file"

keys ctrl+End
type_text "<BR>"
keys ctrl+s
expect_file_hex "$file" "$(printf '<P>\x82\xa0\x82\xa2\x82\xa4 \xc3\xbd\xc4</P>\r\n\x80</HTML><BR>' | od -An -v -tx1 | tr -d ' \n')"
close_app
echo "passed"
