#!/usr/bin/env bash
# The Debian package as ./run package makes it (lintian included), then
# unpacked with dpkg-deb into a scratch root and checked like an
# installation, its launcher started as a user would.
#   deb_test.sh BUILD SOURCE WORK PROBE SCREENSHOTS VERSION METADATA-LICENSE(ON|OFF)
set -euo pipefail
BUILD="$1" SOURCE="$2" WORK="$3" PROBE="$4" SHOTS="$5" VERSION="$6" METADATA_LICENSE="$7"
. "$SOURCE/tests/packaging/installation.sh"

rm -rf "$WORK" && mkdir -p "$WORK"
deb=$("$SOURCE/packaging/linux/makedeb.sh" "$BUILD" "$WORK/package") || fail "making the package failed"
[ "$(basename "$deb")" = "pontiro_${VERSION}_$(dpkg --print-architecture).deb" ] ||
    fail "the package is named $(basename "$deb")"
[ "$(dpkg-deb -f "$deb" Package Version)" = "Package: pontiro
Version: $VERSION" ] || fail "the package's name or version is wrong: $(dpkg-deb -f "$deb" Package Version)"
# The libraries' own packages, as dpkg-shlibdeps found them.
depends=$(dpkg-deb -f "$deb" Depends)
for library in libc6 libwxbase3.2-1 libwxgtk3.2-1; do
    grep -qw -- "$library" <<<"$depends" || fail "the package does not depend on $library: $depends"
done

root="$WORK/unpacked root"
dpkg-deb -x "$deb" "$root"
check_layout "$root"
check_menu_entry "$root"
check_launcher "$root" "$WORK"
echo "$(basename "$deb") made, lintian-clean, and unpacked as expected"
