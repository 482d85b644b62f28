#!/usr/bin/env bash
# Builds the Debian package from the build tree and checks what it holds, its
# control data, the launcher, the software-centre entry and the manual pages,
# and that the packaged program answers --help and --version without a
# display. Nothing is installed on this machine.
set -euo pipefail
config=${1:?usage: test_package.sh build/CPackConfig.cmake}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
export HOME=$tmp/home
mkdir -p "$HOME"

cpack --config "$config" -B "$tmp/out" >"$tmp/cpack.log" 2>&1 || {
    cat "$tmp/cpack.log"
    fail "cpack"
}
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$config")
deb=$tmp/out/velm_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "no $(basename "$deb") among: $(ls "$tmp/out")"

# What the package holds: everything below /usr, owned by root.
dpkg-deb -c "$deb" >"$tmp/contents"
awk '{print $6}' "$tmp/contents" >"$tmp/files"
for f in ./usr/bin/velm \
    ./usr/share/applications/velm.desktop \
    ./usr/share/metainfo/com.example.velm.metainfo.xml \
    ./usr/share/man/man1/velm.1.gz ./usr/share/man/ja/man1/velm.1.gz \
    ./usr/share/icons/hicolor/{16x16,32x32,48x48,64x64,128x128,256x256}/apps/velm.png; do
    grep -qxF "$f" "$tmp/files" || fail "the package lacks $f"
done
! grep -v -e '^\./$' -e '^\./usr/' "$tmp/files" || fail "files outside /usr"
! awk '$2 != "root/root"' "$tmp/contents" | grep . || fail "files not owned by root"

# Control data: the computed libraries (with versions) and the run-time packages.
[ "$(dpkg-deb -f "$deb" Package)" = velm ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version"
depends=$(dpkg-deb -f "$deb" Depends)
for d in 'libqt6widgets6 (>= ' 'libqt6printsupport6 (>= ' 'libc6 (>= ' 'libicu' \
    fonts-ipafont-gothic qt6-translations-l10n; do
    [[ $depends == *"$d"* ]] || fail "Depends lacks '$d': $depends"
done

dpkg-deb -x "$deb" "$tmp/root"
share=$tmp/root/usr/share
grep -qx 'MimeType=text/html;application/xhtml+xml;' "$share/applications/velm.desktop" ||
    fail "the launcher does not offer itself for HTML"
desktop-file-validate "$share/applications/velm.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$share/metainfo/com.example.velm.metainfo.xml" ||
    fail "appstreamcli validate"
for page in man1/velm.1.gz ja/man1/velm.1.gz; do
    LC_ALL=C.UTF-8 man --warnings -E UTF-8 -l "$share/man/$page" >"$tmp/page" 2>"$tmp/warnings" ||
        fail "man $page"
    [ ! -s "$tmp/warnings" ] || fail "man $page: $(cat "$tmp/warnings")"
    grep -q 'velm -pt' "$tmp/page" || fail "man $page lacks the switches"
done

# --help and --version need no display.
velm=$tmp/root/usr/bin/velm
run() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u LC_ALL -u LC_MESSAGES "$@"; }
run LANG=ja_JP.UTF-8 "$velm" --help >"$tmp/ja" || fail "--help (Japanese) exit $?"
grep -qF '使い方: velm [ファイル]' "$tmp/ja" || fail "Japanese usage: $(cat "$tmp/ja")"
grep -qF -- '-pt ファイル プリンタ ドライバ ポート' "$tmp/ja" || fail "Japanese usage lacks -pt"
run LANG=C.UTF-8 "$velm" -h >"$tmp/en" || fail "--help (English) exit $?"
grep -qF 'Usage: velm [FILE]' "$tmp/en" || fail "English usage: $(cat "$tmp/en")"
grep -qF -- '-Embedding, -Automation' "$tmp/en" || fail "English usage lacks -Embedding"
run "$velm" --version >"$tmp/version" || fail "--version exit $?"
[ "$(head -1 "$tmp/version")" = "velm (Velm HTML Editor) $version" ] ||
    fail "--version: $(cat "$tmp/version")"
echo "PASS: $(basename "$deb"), Depends: $depends"
