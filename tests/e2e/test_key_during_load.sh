#!/usr/bin/env bash
# Starts the real program on a 16 MiB Shift-JIS page, slowed down
# (VELM_LOAD_STEP_DELAY_MS), and types a key while the page still loads: the
# key goes in once the page is complete, and a save writes it.
source "$(dirname "$0")/lib.sh"
start_xvfb

file=$E2E_TMP/big.html
row=$(printf '<TR><TD>\x93\xfa\x96\x7b\x8c\xea \xc3\xbd\xc4 sample text</TD></TR>\r\n')
{ yes "$row" | head -c 16777216; } >"$file" || true
[ "$(stat -c %s "$file")" = 16777216 ] || fail "could not write the test file"
head=$(head -c 16 "$file" | od -An -v -tx1 | tr -d ' \n')

# 16 decoding steps of 0.2 s: the page is still loading when the key comes.
VELM_LOAD_STEP_DELAY_MS=200 launch_app -Embedding "$file"
wait_for_window ' - Velm HTML Editor$'
xdotool windowfocus --sync "$WID" 2>/dev/null || true
sleep 0.3
type_text "Q"
# Ctrl+S is refused while the page loads; it saves once the page is in.
saved=
for _ in $(seq 120); do
    sleep 0.5
    keys ctrl+s
    if [ "$(head -c 17 "$file" | od -An -v -tx1 | tr -d ' \n')" = "51$head" ]; then
        saved=1
        break
    fi
done
[ -n "$saved" ] || fail "the key typed during the load is not in the saved file"
[ "$(stat -c %s "$file")" = 16777217 ] || fail "the saved file is not the page plus the key"
close_app
echo "passed"
