#!/usr/bin/env bash
# Starts the real program without switches: a borderless 250 x 200 picture
# shows centred on the screen over the main window, and goes away by itself,
# leaving only the main window. Where openbox is installed it manages the
# screen, so the picture has to stay above the main window that the window
# manager maps after it.
source "$(dirname "$0")/lib.sh"
start_xvfb

if command -v openbox >/dev/null; then
    openbox --sm-disable >"$E2E_TMP/wm.log" 2>&1 &
    for _ in $(seq 100); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
        sleep 0.05
    done
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' ||
        fail "openbox did not start: $(cat "$E2E_TMP/wm.log")"
    echo "with openbox"
else
    echo "without a window manager (openbox not installed)"
fi

# The visible windows of the program, one "id width height x y" line each.
visible_windows() {
    local id
    for id in $(xdotool search --onlyvisible --pid "$APP_PID" 2>/dev/null || true); do
        eval "$(xdotool getwindowgeometry --shell "$id" 2>/dev/null)" || continue
        echo "$id $WIDTH $HEIGHT $X $Y"
    done
}

"$VELM" >"$E2E_TMP/app.log" 2>&1 &
APP_PID=$!

# A cold start (fresh font cache) can take a while: wait up to a minute.
splash=
deadline=$((SECONDS + 60))
while [ -z "$splash" ] && [ $SECONDS -lt $deadline ] && kill -0 "$APP_PID" 2>/dev/null; do
    splash=$(visible_windows | awk '$2 == 250 && $3 == 200' | head -n1)
    [ -n "$splash" ] || sleep 0.02
done
[ -n "$splash" ] || fail "no 250x200 splash window; windows: $(visible_windows | tr "\n" ";") log: $(cat "$E2E_TMP/app.log")"

read -r sid _ _ sx sy <<<"$splash"
# Centred on the 1280x1024 screen, and not the main window.
[ "$sx" = 515 ] && [ "$sy" = 412 ] || fail "splash at $sx,$sy, expected 515,412"
case "$(xdotool getwindowname "$sid" 2>/dev/null)" in
*' - Velm HTML Editor') fail "the 250x200 window is the main window" ;;
esac

wait_for_window ' - Velm HTML Editor$'
main=$WID

# The picture stands over the main window: the screen shows its pixels.
picture=$(dirname "$0")/../../src/res/images/splash.png
expected=$(convert "$picture" -crop 1x1+240+10 -depth 8 txt:- | tail -n1 | grep -o '#[0-9A-F]*')
# Fails unless the picture's pixels show where the splash window stands;
# with $2 = "or-gone" a splash window that has closed meanwhile is fine too.
splash_shown() {
    local shown=
    for _ in $(seq 20); do
        shown=$(import -window root -crop 1x1+$((sx + 240))+$((sy + 10)) -depth 8 txt:- 2>/dev/null |
            tail -n1 | grep -o '#[0-9A-F]*' || true)
        [ "$shown" = "$expected" ] && return 0
        if [ -z "$(visible_windows | awk '$2 == 250 && $3 == 200')" ]; then
            [ "${2:-}" = or-gone ] && return 0
            break
        fi
        sleep 0.02
    done
    fail "splash picture not on screen ($1): $shown, expected $expected"
}
splash_shown "main window mapped"

# A window manager activates the main window after mapping it; the picture
# still stands over it while it lasts.
for _ in $(seq 50); do
    [ "$(xdotool getactivewindow 2>/dev/null || true)" = "$main" ] && break
    sleep 0.02
done
if [ "$(xdotool getactivewindow 2>/dev/null || true)" = "$main" ]; then
    splash_shown "main window active" or-gone
fi

# It goes away by itself; the main window stays, and nothing else is left.
deadline=$((SECONDS + 30))
while [ -n "$(visible_windows | awk '$2 == 250 && $3 == 200')" ] && [ $SECONDS -lt $deadline ]; do
    sleep 0.05
done
left=$(visible_windows)
[ "$(wc -l <<<"$left")" = 1 ] || fail "windows left after the splash: $left"
[ "$(cut -d' ' -f1 <<<"$left")" = "$main" ] || fail "the remaining window is not the main window"

close_app
echo "passed"
