#!/usr/bin/env bash
# Each tag dialog of the real program, opened through its toolbar button,
# filled in with the keyboard and closed with Enter (OK): the saved file holds
# exactly the tag, in Shift-JIS with CR LF line ends.
source "$(dirname "$0")/lib.sh"
STRIP=$(cd "$(dirname "$0")/../../src/res/images" && pwd)/toolbar_main.png
start_xvfb

file=$E2E_TMP/page.html
printf 'old' >"$file"
start_app -Embedding "$file"
MAIN=$WID

hex() { od -An -v -tx1 | tr -d ' \n'; }

# Clicks the main toolbar button that shows picture $1 (from 0) of the strip,
# found on the screen by its picture.
click_toolbar_button() {
    local index=$1 found x y
    xdotool mousemove 5 700 # no button under the pointer
    sleep 0.2
    import -window root -crop 1280x120+0+0 +repage "$E2E_TMP/top.png"
    convert "$STRIP" -crop "16x16+$((index * 16))+0" +repage "$E2E_TMP/icon.png"
    # compare prints "distance (normalised) @ x,y" for the best match and
    # fails unless it is exact: the picture's grey ground shows the bar's
    # face, so a close match is taken.
    found=$({ compare -metric RMSE -subimage-search "$E2E_TMP/top.png" "$E2E_TMP/icon.png" null: 2>&1 || true; } |
        tr -d '()' | awk '$3 == "@" && $2 < 0.3 { split($4, at, ","); print at[1], at[2] }')
    [ -n "$found" ] || fail "toolbar button $index not found"
    read -r x y <<<"$found"
    xdotool mousemove $((x + 8)) $((y + 8)) click 1
}

# Replaces the whole text by $1 and selects it.
select_all_as() {
    xdotool windowfocus --sync "$MAIN" 2>/dev/null || true
    keys ctrl+a
    [ -z "$1" ] || type_text "$1"
    keys ctrl+a
}

# Opens the dialog of toolbar picture $1, titled $2, and focuses it.
open_dialog() {
    click_toolbar_button "$1"
    wait_for_window "^$2\$"
    xdotool windowfocus --sync "$WID" 2>/dev/null || true
    sleep 0.2
}

# Saves and checks that the file is exactly the bytes printf makes of $1.
expect_saved() {
    xdotool windowfocus --sync "$MAIN" 2>/dev/null || true
    keys ctrl+s
    expect_file_hex "$file" "$(printf "$1" | hex)"
}

# Page skeleton: DOCTYPE box ticked, a DOCTYPE typed into the combo.
select_all_as ""
open_dialog 0 'HTMLタグ挿入'
keys space Tab
type_text '<!DOCTYPE HTML>'
keys Return
expect_saved '<!DOCTYPE HTML>\r\n\r\n<HTML>\r\n\r\n<HEAD>\r\n<TITLE></TITLE>\r\n</HEAD>\r\n\r\n<BODY BGCOLOR="" TEXT="" LINK="" ALINK="" VLINK="">\r\n\r\n</BODY>\r\n\r\n</HTML>'

# Link around the selected word.
select_all_as "word"
open_dialog 12 'リンクタグ挿入'
type_text 'a.html'
keys Return
expect_saved '<A HREF="a.html">word</A>'

# E-mail link around the selected word.
select_all_as "word"
open_dialog 13 'Eメールタグ挿入'
type_text 'a@b.jp'
keys Return
expect_saved '<A HREF="mailto:a@b.jp">word</A>'

# Font: only the face box ticked; the preset Japanese face goes out in Shift-JIS.
select_all_as "word"
open_dialog 14 'フォントダイアログ'
keys Tab Tab Tab Tab space Return
expect_saved '<FONT FACE="\x82\x6c\x82\x72\x20\x82\x6f\x83\x53\x83\x56\x83\x62\x83\x4e">word</FONT>'

# Image with its size.
select_all_as ""
open_dialog 15 'イメージ挿入'
type_text 'a.gif'
keys Tab space Tab
type_text '10'
keys Tab
type_text '20'
keys Return
expect_saved '<IMG SRC="a.gif" HEIGHT="10" WIDTH="20">'

# Horizontal rule with a width.
select_all_as ""
open_dialog 16 'HRタグの挿入'
keys Tab Tab
type_text '2'
keys Tab space shift+Tab
type_text '80'
keys Return
expect_saved '<HR SIZE="2" WIDTH="80">'

# Table with a width: its line feeds are line breaks, saved as CR LF.
select_all_as ""
open_dialog 17 'TABLEタグ挿入'
keys Tab Tab space shift+Tab
type_text '100%'
keys Return
expect_saved '<TABLE WIDTH="100%%">\r\n<TR><TD>\r\n\r\n</TD></TR>\r\n</TABLE>'

close_app
echo "passed"
