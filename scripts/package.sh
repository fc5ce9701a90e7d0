#!/usr/bin/env bash
# Builds the Debian package build/tendrix_<version>_amd64.deb: the program folder under
# /opt/tendrix/bin, links in /usr/bin, desktop entry and icons, man pages, udev rules, and the
# dependencies found by dpkg-shlibdeps. The version is the project version of CMakeLists.txt.
#
# Usage: scripts/package.sh [--bin-dir DIR] [--out DIR] [--fast]
#   --bin-dir DIR  package the programs already built in DIR (default: build the release
#                  tree with scripts/build.sh release and use build/bin)
#   --out DIR      where the .deb goes (default build/)
#   --fast         quick gzip compression and no lintian run (the test suite's check)
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
bin_dir= out_dir=$src/build fast=0
while [ $# -gt 0 ]; do
    case "$1" in
        --bin-dir) bin_dir=$(cd "$2" && pwd); shift 2 ;;
        --out) mkdir -p "$2"; out_dir=$(cd "$2" && pwd); shift 2 ;;
        --fast) fast=1; shift ;;
        *) echo "usage: $0 [--bin-dir DIR] [--out DIR] [--fast]" >&2; exit 2 ;;
    esac
done
version=$(sed -n 's/^project(Tendrix VERSION \([0-9][0-9.]*\).*/\1/p' "$src/CMakeLists.txt")
[ -n "$version" ] || { echo "package: no project version in CMakeLists.txt" >&2; exit 1; }
if [ -z "$bin_dir" ]; then
    "$src/scripts/build.sh" release
    bin_dir=$src/build/bin
fi
for tool in dpkg-deb dpkg-shlibdeps help2man; do
    command -v "$tool" >/dev/null || { echo "package: $tool missing (scripts/install-deps.sh)" >&2; exit 1; }
done
programs=(tendrix tendrix-cli tendrix-sandbox)
plugins=(libPOSDLL.so libTesseractDLL.so libKeyMask.so)
for f in "${programs[@]}" "${plugins[@]}" UIskin Voice; do
    [ -e "$bin_dir/$f" ] || { echo "package: $bin_dir/$f missing (build it first)" >&2; exit 1; }
done
built=$("$bin_dir/tendrix" --version | awk '{print $2}')
[ "$built" = "$version" ] || { echo "package: $bin_dir/tendrix is $built, the sources say $version" >&2; exit 1; }

umask 022
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The tree is staged where dpkg-shlibdeps expects a package's files: debian/<package>/.
root=$work/debian/tendrix
opt=$root/opt/tendrix/bin
install -d "$opt" "$root/usr/bin" "$root/usr/share/applications" "$root/usr/share/man/man1" \
    "$root/usr/share/doc/tendrix" "$root/usr/share/lintian/overrides" "$root/lib/udev/rules.d" \
    "$root/DEBIAN"

# Program folder: programs and plugins stripped, skin and voice prompts as they are; the private
# font is Debian's own file (fonts-wqy-microhei) under the name the program loads.
for f in "${programs[@]}"; do install -m 0755 "$bin_dir/$f" "$opt/$f"; done
for f in "${plugins[@]}"; do install -m 0644 "$bin_dir/$f" "$opt/$f"; done
strip --strip-unneeded --remove-section=.comment --remove-section=.note \
    "${programs[@]/#/$opt/}" "${plugins[@]/#/$opt/}"
cp -r "$bin_dir/UIskin" "$bin_dir/Voice" "$opt/"
install -d "$opt/Font"
ln -s /usr/share/fonts/truetype/wqy/wqy-microhei.ttc "$opt/Font/文泉驿微米黑.ttf"
find "$opt/UIskin" "$opt/Voice" -type d -exec chmod 0755 {} + -o -type f -exec chmod 0644 {} +
for f in "${programs[@]}"; do ln -s "/opt/tendrix/bin/$f" "$root/usr/bin/$f"; done

# Desktop integration, device rules, documentation.
install -m 0644 "$src/packaging/tendrix.desktop" "$root/usr/share/applications/"
for png in "$src"/packaging/icons/tendrix-*.png; do
    size=${png##*-}; size=${size%.png}
    install -D -m 0644 "$png" "$root/usr/share/icons/hicolor/${size}x${size}/apps/tendrix.png"
done
install -m 0644 "$src/packaging/70-tendrix.rules" "$root/lib/udev/rules.d/"
install -m 0644 "$src/packaging/copyright" "$root/usr/share/doc/tendrix/"
install -m 0644 "$src/packaging/lintian-overrides" "$root/usr/share/lintian/overrides/tendrix"
when=$(git -C "$src" log -1 --format=%cD 2>/dev/null || date -R)
printf 'tendrix (%s) unstable; urgency=medium\n\n  * Release %s.\n\n -- Tendrix developers <dev@tendrix.example>  %s\n' \
    "$version" "$version" "$when" | gzip -9n >"$root/usr/share/doc/tendrix/changelog.gz"

# Man pages from each program's --help (no display needed).
declare -A about=(
    [tendrix]="cashier assistant for mobile payment beside a POS program"
    [tendrix-cli]="terminal tool for installers and support of Tendrix"
    [tendrix-sandbox]="simulated payment platform for trying Tendrix out"
)
for f in "${programs[@]}"; do
    help2man -N --no-discard-stderr --version-string="$version" -n "${about[$f]}" \
        -o "$work/$f.1" "$opt/$f"
    gzip -9n <"$work/$f.1" >"$root/usr/share/man/man1/$f.1.gz"
    chmod 0644 "$root/usr/share/man/man1/$f.1.gz"
done

# Dependencies of the programs and plugins, as shared-library packages.
printf 'Source: tendrix\n\nPackage: tendrix\nArchitecture: amd64\n' >"$work/debian/control"
shlibs=$(cd "$work" && dpkg-shlibdeps -O --warnings=0 \
    "${programs[@]/#/-e$opt/}" "${plugins[@]/#/-e$opt/}" | sed -n 's/^shlibs:Depends=//p')
[ -n "$shlibs" ] || { echo "package: dpkg-shlibdeps found no dependencies" >&2; exit 1; }

size=$(du -sk --exclude=DEBIAN "$root" | cut -f1)
sed -e "s/@VERSION@/$version/" -e "s/@INSTALLED_SIZE@/$size/" -e "s/@SHLIBS@/$shlibs/" \
    "$src/packaging/control.in" >"$root/DEBIAN/control"
install -m 0755 "$src/packaging/postinst" "$src/packaging/postrm" "$root/DEBIAN/"
(cd "$root" && find . -path ./DEBIAN -prune -o -type f -printf '%P\0' | sort -z |
    xargs -0 md5sum >DEBIAN/md5sums)
chmod 0644 "$root/DEBIAN/md5sums"

deb=$out_dir/tendrix_${version}_amd64.deb
if [ "$fast" = 1 ]; then
    dpkg-deb --root-owner-group -Zgzip -z1 --build "$root" "$deb" >/dev/null
else
    dpkg-deb --root-owner-group -Zxz --build "$root" "$deb" >/dev/null
fi
echo "package: $deb ($(du -k "$deb" | cut -f1) KiB, installed $size KiB)"
if [ "$fast" = 0 ] && command -v lintian >/dev/null; then
    # Errors fail the build; warnings are shown.
    lintian --fail-on error "$deb"
fi
