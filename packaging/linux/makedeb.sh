#!/usr/bin/env bash
# Makes the Debian package of a built tree with CPack and checks it with
# lintian, which must find no errors. Prints the package's path.
#   makedeb.sh BUILD-DIR OUTPUT-DIR
set -euo pipefail
build="$(cd "$1" && pwd)" out="$2"

rm -rf "$out" && mkdir -p "$out"
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$out" >&2
deb=$(find "$out" -maxdepth 1 -name 'pontiro_*.deb')
[ -n "$deb" ] || { echo "makedeb: cpack made no package" >&2; exit 1; }
rm -rf "$out/_CPack_Packages"
lintian --allow-root --fail-on error "$deb" >&2
echo "$deb"
