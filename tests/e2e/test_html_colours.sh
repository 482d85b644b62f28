#!/usr/bin/env bash
# A small page in the real program shows at least four colours in the pane
# with the HTML colours on, and only the text's colour once the 色分け pane
# is clicked; the choice holds when the program starts again.
source "$(dirname "$0")/lib.sh"
start_accessibility
start_xvfb

file=$E2E_TMP/page.html
cat >"$file" <<'PAGE'
<!DOCTYPE html>
<html lang="ja">
<head>
<title>colours &amp; tags</title>
</head>
<body class="main">
<!-- a comment -->
<p id="first">Text &copy; 2026 <b>bold</b> and <a href="a.html">a link</a></p>
<p id="second">More &lt;text&gt; here</p>
</body>
</html>
PAGE

# The number of ink colours in the pane.
pane_colours() {
    local x= y w h
    for _ in 1 2 3 4 5; do
        read -r x y w h < <(timeout 20 $A11Y extents "エディタ") && break
        sleep 1
    done
    [ -n "$x" ] || fail "no pane"
    import -window root -crop "${w}x${h}+${x}+${y}" rgb:- |
        /usr/bin/python3 "$(dirname "$0")/ink_colours.py" "$w" "$h"
}

start_app -Embedding "$file"
sleep 1
on=$(pane_colours)
[ "$on" -ge 4 ] || fail "colouring on: $on colours in the pane"

click_accessible "色分け"
sleep 1
off=$(pane_colours)
[ "$off" -eq 1 ] || fail "colouring off: $off colours in the pane"
close_app

start_app -Embedding "$file"
sleep 1
again=$(pane_colours)
[ "$again" -eq 1 ] || fail "started again: $again colours, the switch was not kept"
click_accessible "色分け"
sleep 1
back=$(pane_colours)
[ "$back" -ge 4 ] || fail "switched on again: $back colours"
close_app
echo "passed ($on colours on, $off off)"
