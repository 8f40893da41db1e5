#!/usr/bin/env bash
# cmake --install into a scratch root (a path with blanks), then the layout,
# both validators and the installed launcher as a user starts it.
#   install_test.sh BUILD SOURCE WORK PROBE SCREENSHOTS VERSION METADATA-LICENSE(ON|OFF)
set -euo pipefail
BUILD="$1" SOURCE="$2" WORK="$3" PROBE="$4" SHOTS="$5" VERSION="$6" METADATA_LICENSE="$7"
. "$SOURCE/tests/packaging/installation.sh"

root="$WORK/scratch root"
rm -rf "$WORK" && mkdir -p "$WORK"
cmake --install "$BUILD" --prefix "$root/usr" >/dev/null || fail "cmake --install failed"
check_layout "$root"
check_menu_entry "$root"
check_launcher "$root" "$WORK"
echo "installed tree, menu entry and launcher as expected"
