#!/usr/bin/env bash
# Packages the programs of a build tree with scripts/package.sh (quick compression, no
# lintian), checks the package's files, links, dependencies and man pages, then runs the
# unpacked program from a read-only /opt/tendrix as an ordinary user: --version without a
# display, tendrix-cli's usage, and a start that keeps its data and logs in the XDG folders.
#
# Usage: package_test.sh SOURCE_DIR BIN_DIR   (exit 77: a packaging tool is missing)
set -euo pipefail
src=$1 bin=$2
for tool in dpkg-deb dpkg-shlibdeps help2man; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
fail() { echo "FAIL: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"; [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null || true' EXIT
chmod 0755 "$work"

"$src/scripts/package.sh" --bin-dir "$bin" --out "$work" --fast
version=$(sed -n 's/^project(Tendrix VERSION \([0-9][0-9.]*\).*/\1/p' "$src/CMakeLists.txt")
deb=$work/tendrix_${version}_amd64.deb
[ -f "$deb" ] || fail "no $deb"

# Files: programs, plugins, runtime folders, links on the PATH, desktop entry, icon, man
# pages, udev rules, copyright.
listing=$(dpkg-deb -c "$deb")
for path in opt/tendrix/bin/tendrix opt/tendrix/bin/tendrix-cli opt/tendrix/bin/tendrix-sandbox \
    opt/tendrix/bin/libPOSDLL.so opt/tendrix/bin/libTesseractDLL.so opt/tendrix/bin/libKeyMask.so \
    opt/tendrix/bin/UIskin/compmessage.txt opt/tendrix/bin/UIskin/LandDlg.xml \
    opt/tendrix/bin/Voice/paysuccess.mp3 "opt/tendrix/bin/Font/文泉驿微米黑.ttf" \
    usr/share/applications/tendrix.desktop usr/share/icons/hicolor/48x48/apps/tendrix.png \
    usr/share/man/man1/tendrix.1.gz usr/share/man/man1/tendrix-cli.1.gz \
    usr/share/man/man1/tendrix-sandbox.1.gz lib/udev/rules.d/70-tendrix.rules \
    usr/share/doc/tendrix/copyright usr/share/doc/tendrix/changelog.gz; do
    grep -qF " ./$path" <<<"$listing" || fail "$path is not in the package"
done
for p in tendrix tendrix-cli tendrix-sandbox; do
    grep -qF "./usr/bin/$p -> /opt/tendrix/bin/$p" <<<"$listing" || fail "/usr/bin/$p link"
done
grep -q '^-rwxr-xr-x root/root .* ./opt/tendrix/bin/tendrix$' <<<"$listing" ||
    fail "tendrix is not an executable owned by root"

# Dependencies: the shared libraries' packages plus what is loaded at run time.
depends=$(dpkg-deb -f "$deb" Depends)
for p in libqt6widgets6 libcurl4 libsqlite3-0 libtesseract5 qt6-qpa-plugins tesseract-ocr-eng \
    fonts-wqy-microhei; do
    grep -qw "$p" <<<"$depends" || fail "Depends lacks $p: $depends"
done
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version"
grep -qw onboard <<<"$(dpkg-deb -f "$deb" Recommends)" || fail "the on-screen keyboard is not recommended"

# Man pages come from the programs' own help.
dpkg-deb -x "$deb" "$work/root"
zcat "$work/root/usr/share/man/man1/tendrix-cli.1.gz" | grep -q doctor || fail "tendrix-cli(1) lacks doctor"
zcat "$work/root/usr/share/man/man1/tendrix.1.gz" | grep -q XDG_DATA_HOME || fail "tendrix(1) lacks the folders"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$work/root/usr/share/applications/tendrix.desktop"
fi

# The unpacked program, read-only, as an ordinary user (nobody when this runs as root).
opt=$work/root/opt/tendrix/bin
home=$work/home
mkdir -p "$home/run"
chmod 0700 "$home/run"
if [ "$(id -u)" = 0 ]; then
    chown -R nobody "$home"
    as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
else
    chmod -R a-w "$work/root"
    as_user=()
fi
run() {
    env -i PATH=/usr/bin:/bin HOME="$home" XDG_RUNTIME_DIR="$home/run" LANG=C.UTF-8 \
        ASAN_OPTIONS=detect_leaks=0 "$@"
}
out=$(run "${as_user[@]}" "$opt/tendrix" --version) || fail "tendrix --version without DISPLAY"
[ "$out" = "tendrix $version" ] || fail "tendrix --version said: $out"
run "${as_user[@]}" "$opt/tendrix" --help | grep -q "tendrix-cli doctor" || fail "tendrix --help"
[ "$(run "${as_user[@]}" "$opt/tendrix-cli" --version)" = "tendrix-cli $version" ] ||
    fail "tendrix-cli --version"
rc_none=0 rc_unknown=0
run "${as_user[@]}" "$opt/tendrix-cli" >/dev/null 2>"$work/usage" || rc_none=$?
run "${as_user[@]}" "$opt/tendrix-cli" no-such-command >/dev/null 2>>"$work/usage" || rc_unknown=$?
[ "$rc_none" = 1 ] && [ "$rc_unknown" = 1 ] || fail "tendrix-cli without/unknown command: $rc_none $rc_unknown"
grep -q "doctor" "$work/usage" || fail "tendrix-cli's usage does not list doctor"

run "${as_user[@]}" env QT_QPA_PLATFORM=offscreen TENDRIX_API_BASE=http://127.0.0.1:9 \
    "$opt/tendrix" >"$work/tendrix.log" 2>&1 &
pid=$!
db=$home/.local/share/tendrix/data/dataset.db
for _ in $(seq 300); do
    [ -s "$db" ] && break
    kill -0 "$pid" 2>/dev/null || { cat "$work/tendrix.log" >&2; fail "tendrix ended at start"; }
    sleep 0.1
done
[ -s "$db" ] || { cat "$work/tendrix.log" >&2; fail "no settings database under XDG_DATA_HOME"; }
[ -d "$home/.local/state/tendrix/log" ] || fail "no log folder under XDG_STATE_HOME"
[ "$(stat -c %a "$home/.local/share/tendrix/data")" = 700 ] || fail "data folder is not private"
[ ! -e "$work/root/opt/tendrix/data" ] || fail "data written beside the program folder"
kill "$pid"
wait "$pid" 2>/dev/null || true
pid=
echo "package test passed: $(du -k "$deb" | cut -f1) KiB (fast compression)"
