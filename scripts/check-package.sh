#!/bin/sh
# Checks the Debian package that scripts/package.sh built:
#  1. lintian (no errors, no warnings), its contents and recorded dependencies;
#  2. the metainfo (appstreamcli validate) and the desktop entry (desktop-file-validate);
#  3. on a fresh Debian 12 made with debootstrap in a throwaway folder: `apt install ./pixmar.deb`,
#     `pixmar --version`, `pixmar --help`, a screenshot of the main window found without
#     PIXMAR_HOME, a HEIC and an AVIF marked and written in their formats, then purging it (and
#     what it pulled in) leaves none of its files behind.
# Run as root from the top of the tree: ./scripts/check-package.sh [--no-root]
# The fresh system is kept as a tarball in $PIXMAR_CHECK_CACHE (default /var/cache/pixmar-check)
# so that later runs start from a copy of it rather than downloading it again.
set -eu
cd "$(dirname "$0")/.."
deb=$(ls build/pixmar_*_amd64.deb 2>/dev/null | tail -n 1)
[ -n "$deb" ] || { echo "check-package: no build/pixmar_*_amd64.deb (run ./scripts/package.sh)" >&2; exit 2; }
with_root=yes
[ "${1:-}" = "--no-root" ] && with_root=no

tools="appstream desktop-file-utils lintian libheif-examples"
[ "$with_root" = yes ] && tools="$tools debootstrap"
./scripts/install-missing.sh $tools

fail() { echo "check-package: FAILED: $*" >&2; exit 1; }
work=$(mktemp -d /var/tmp/pixmar-check.XXXXXX)
root="$work/root"
cleanup() {
  for m in proc dev/pts dev; do
    mountpoint -q "$root/$m" 2>/dev/null && umount -l "$root/$m"
  done
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

echo "== lintian $deb"
# Informational tags are shown; an error or a warning fails the check.
lintian --display-info "$deb" 2>/dev/null | tee "$work/lintian" || true
! grep -q '^[EW]: ' "$work/lintian" || fail "lintian reports errors or warnings"

echo "== contents of $deb"
dpkg-deb -c "$deb" | awk '{print $6}' > "$work/contents"
for f in ./usr/bin/pixmar ./usr/share/pixmar/bg/main2i.jpg ./usr/share/pixmar/PX-Malay.html \
         ./usr/share/pixmar/translations/qt_ms.qm ./usr/share/applications/pixmar.desktop \
         ./usr/share/metainfo/org.pixmar.Pixmar.metainfo.xml \
         ./usr/share/icons/hicolor/48x48/apps/pixmar.png ./usr/share/icons/hicolor/128x128/apps/pixmar.png \
         ./usr/share/icons/hicolor/256x256/apps/pixmar.png ./usr/share/icons/hicolor/scalable/apps/pixmar.svg \
         ./usr/share/man/man1/pixmar.1.gz; do
  grep -qx "$f" "$work/contents" || fail "$f is not in the package"
done
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
echo "$depends" | grep -q "libqt6widgets6" || fail "dependencies were not read from the binary"

echo "== metainfo and desktop entry"
dpkg-deb -x "$deb" "$work/unpacked"
appstreamcli validate --no-net "$work/unpacked/usr/share/metainfo/org.pixmar.Pixmar.metainfo.xml"
desktop-file-validate "$work/unpacked/usr/share/applications/pixmar.desktop"
echo "desktop entry valid"

[ "$with_root" = yes ] || { echo "check-package: passed (without the throwaway system)"; exit 0; }

echo "== a fresh Debian 12 in $root"
cache=${PIXMAR_CHECK_CACHE:-/var/cache/pixmar-check}
mkdir -p "$cache" "$root"
if [ ! -s "$cache/bookworm.tar" ]; then
  debootstrap --variant=minbase bookworm "$work/fresh" http://deb.debian.org/debian
  tar -C "$work/fresh" -cf "$cache/bookworm.tar.part" .
  mv "$cache/bookworm.tar.part" "$cache/bookworm.tar"
  rm -rf "$work/fresh"
fi
tar -C "$root" -xf "$cache/bookworm.tar"
mount -t proc proc "$root/proc"
mount --bind /dev "$root/dev"
cp /etc/resolv.conf "$root/etc/resolv.conf"
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"; }
in_root apt-get update -q
snapshot() { # every file, link and folder whose path names the program
  in_root find / -xdev \( -path /proc -o -path /dev \) -prune -o -iname '*pixmar*' -print | sort
}
snapshot > "$work/before"
cp "$deb" "$root/tmp/"
in_root sh -c "DEBIAN_FRONTEND=noninteractive apt-get install -y /tmp/$(basename "$deb")"
rm "$root/tmp/$(basename "$deb")"
version=$(in_root pixmar --version)
echo "$version"
[ "$version" = "pixmar $(dpkg-deb -f "$deb" Version)" ] || fail "pixmar --version says: $version"
in_root pixmar --help | grep -q "^Usage:" || fail "pixmar --help"
# The data is found where the package put it, without PIXMAR_HOME.
in_root pixmar --screenshot /tmp/main.png --lang bm || fail "pixmar --screenshot in the fresh system"
# A window without its background is a plain grey picture of a few kilobytes.
[ "$(stat -c %s "$root/tmp/main.png")" -gt 40000 ] || fail "the screenshot has no background: data not found"
in_root sh -c 'command -v man >/dev/null' && in_root man -P cat pixmar >/dev/null
# A phone's HEIC photo and an AVIF are read, marked and written in their own formats with
# only what the package pulled in.
# The window's screenshot taken above is the picture, encoded on this machine.
mkdir -p "$root/tmp/photos" "$root/tmp/marked"
heif-enc -q 70 -o "$root/tmp/photos/phone.heic" "$root/tmp/main.png" >/dev/null
heif-enc -A -q 70 -o "$root/tmp/photos/web.avif" "$root/tmp/main.png" >/dev/null
in_root pixmar watermark --dir /tmp/photos --target /tmp/marked --text Sample --at 20,20 --all-formats \
  || fail "pixmar could not mark a HEIC and an AVIF in the fresh system"
for f in awtx-phone.heic awtx-web.avif; do
  [ -s "$root/tmp/marked/$f" ] || fail "$f was not written in the fresh system"
done
echo "HEIC and AVIF read and written in the fresh system"
rm -rf "$root/tmp/photos" "$root/tmp/marked"

in_root dpkg -L pixmar | sort > "$work/owned"
in_root sh -c "DEBIAN_FRONTEND=noninteractive apt-get purge -y pixmar && DEBIAN_FRONTEND=noninteractive apt-get autoremove --purge -y"
in_root dpkg -s pixmar >/dev/null 2>&1 && fail "pixmar is still installed"
# Shared folders (/usr/share/icons/...) stay for their other owners; every file of the
# package goes, and nothing named after the program is left anywhere.
left=""
while read -r path; do
  if [ -f "$root$path" ] || [ -L "$root$path" ]; then
    echo "left behind: $path"; left=yes
  fi
done < "$work/owned"
[ -z "$left" ] || fail "purging left the package's files behind"
snapshot > "$work/after"
diff "$work/before" "$work/after" || fail "purging left files behind"
echo "check-package: passed (installed, ran and purged on a fresh Debian 12)"
