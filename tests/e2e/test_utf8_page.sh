#!/usr/bin/env bash
# Opens a UTF-8 page in the real program: it reads as Japanese, and a
# replacement with Japanese (すべて置換) is saved as UTF-8, the rest of the
# file as it was.
source "$(dirname "$0")/lib.sh"
start_xvfb

file=$E2E_TMP/page.html
# <meta charset="utf-8"><p>日本XX</p> LF
printf '<meta charset="utf-8"><p>\xe6\x97\xa5\xe6\x9c\xacXX</p>\n' >"$file"
start_app -Embedding "$file"

# 本 copied from the pane: it reads as one character, as written.
keys ctrl+Home End Left Left Left Left Left Left shift+Left ctrl+c
keys ctrl+h
sleep 0.5
type_text "XX"
keys alt+p ctrl+v
# Past the two check boxes, 次を検索 and 置換して次に to すべて置換.
keys Tab Tab Tab Tab Tab space
sleep 0.3
keys Escape
sleep 0.3
keys ctrl+s
expect_file_hex "$file" "$(printf '<meta charset="utf-8"><p>\xe6\x97\xa5\xe6\x9c\xac\xe6\x9c\xac</p>\n' | od -An -v -tx1 | tr -d ' \n')"
close_app
echo "passed"
