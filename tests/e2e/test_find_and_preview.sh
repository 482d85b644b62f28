#!/usr/bin/env bash
# Finds with Ctrl+F and F3 and types over what was found, goes through print
# preview and back, and saves: the pane takes the keys again after each.
source "$(dirname "$0")/lib.sh"
start_xvfb

file=$E2E_TMP/table.html
printf '<TD>a</TD>\r\n<TD>b</TD>' >"$file"
start_app -Embedding "$file"

keys ctrl+f
sleep 0.5
type_text "<td>"
keys Return Escape
sleep 0.5
type_text "<TH>"
keys F3
sleep 0.3
type_text "<TH>"

# Print preview from the file menu: a page turn, then Esc back to the pane.
keys alt+f
sleep 0.3
keys v
sleep 0.8
keys Next Prior Escape
sleep 0.5
type_text "X"
keys ctrl+s
expect_file_hex "$file" "$(printf '<TH>a</TD>\r\n<TH>Xb</TD>' | od -An -v -tx1 | tr -d ' \n')"
close_app
echo "passed"
