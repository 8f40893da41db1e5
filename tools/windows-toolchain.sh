#!/usr/bin/env bash
# Builds the libraries the Windows cross build links against, from Debian's
# own source packages, and caches them outside the work tree:
#   libpng (Debian's libpng1.6), a static wxWidgets for MSW (Debian's
#   wxwidgets3.2: base, net, core, adv) and GoogleTest (Debian's googletest).
# zlib comes ready-built from libz-mingw-w64-dev, the compilers from
# the mingw-w64 packages.
#
# Prints the prefix holding the result on stdout. The cache is keyed by the
# source versions and this recipe's revision, so a second run takes seconds.
#   PONTIRO_MINGW_CACHE   cache root (default /var/cache/pontiro-mingw as root,
#                         ~/.cache/pontiro-mingw otherwise)
#   PONTIRO_DEBIAN_MIRROR / PONTIRO_DEBIAN_SECURITY   where sources come from
set -euo pipefail

RECIPE=1          # bump when the build flags below change
HOST=x86_64-w64-mingw32
if [ -n "${PONTIRO_MINGW_CACHE:-}" ]; then
    CACHE_ROOT="$PONTIRO_MINGW_CACHE"
elif [ "$(id -u)" -eq 0 ] || [ -w /var/cache/pontiro-mingw ]; then
    CACHE_ROOT=/var/cache/pontiro-mingw
else
    CACHE_ROOT="${XDG_CACHE_HOME:-$HOME/.cache}/pontiro-mingw"
fi
MIRROR="${PONTIRO_DEBIAN_MIRROR:-http://deb.debian.org/debian}"
SECURITY="${PONTIRO_DEBIAN_SECURITY:-http://deb.debian.org/debian-security}"
JOBS="${JOBS:-$(nproc 2>/dev/null || echo 2)}"
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
TOOLCHAIN_FILE="$HERE/../cmake/mingw-w64-x86_64.cmake"

log() { printf '==> [windows toolchain] %s\n' "$*" >&2; }

# Source version of an installed binary package (the Linux build uses the
# same wxWidgets and libpng, so both builds track one version).
installed_source_version() {
    dpkg-query -W -f='${source:Version}' "$1" 2>/dev/null || true
}

WX_VERSION="$(installed_source_version libwxgtk3.2-dev)"
PNG_VERSION="$(installed_source_version libpng16-16)"
GTEST_VERSION="$(installed_source_version googletest)"
GCC_VERSION="$("$HOST-g++-posix" -dumpversion 2>/dev/null || true)"
ZLIB_VERSION="$(installed_source_version libz-mingw-w64-dev)"
for v in WX_VERSION PNG_VERSION GTEST_VERSION GCC_VERSION ZLIB_VERSION; do
    if [ -z "${!v}" ]; then
        echo "windows toolchain: cannot tell $v; are tools/debian-packages.txt's packages installed?" >&2
        exit 1
    fi
done

KEY="wx-${WX_VERSION}_png-${PNG_VERSION}_gtest-${GTEST_VERSION}_zlib-${ZLIB_VERSION}_gcc-${GCC_VERSION}_r${RECIPE}"
KEY="${KEY//[^A-Za-z0-9._+-]/_}"
PREFIX="$CACHE_ROOT/$KEY"

if [ -f "$PREFIX/.complete" ]; then
    echo "$PREFIX"
    exit 0
fi

mkdir -p "$CACHE_ROOT"
# One builder at a time; a second caller waits and then finds the cache.
exec 9>"$CACHE_ROOT/.lock"
flock 9
if [ -f "$PREFIX/.complete" ]; then
    echo "$PREFIX"
    exit 0
fi

START=$(date +%s)
WORK="$(mktemp -d "${TMPDIR:-/tmp}/pontiro-mingw.XXXXXX")"
trap 'rm -rf "$WORK"' EXIT
# Built straight into its final place (wx-config and the CMake files record
# the prefix); only the .complete mark makes it count.
STAGE="$PREFIX"
rm -rf "$STAGE"
mkdir -p "$STAGE"

# --- Debian sources through a private apt setup ----------------------------
# Its own sources list, lists and cache: the system's apt configuration and
# state are left as they are.
. /etc/os-release
CODENAME="${VERSION_CODENAME:?no codename in /etc/os-release}"
APT_DIR="$WORK/apt"
mkdir -p "$APT_DIR/lists/partial" "$APT_DIR/cache/archives/partial" "$APT_DIR/sources.list.d"
KEYRING=/usr/share/keyrings/debian-archive-keyring.gpg
cat > "$APT_DIR/sources.list" <<EOF
deb-src [signed-by=$KEYRING] $MIRROR $CODENAME main
deb-src [signed-by=$KEYRING] $MIRROR $CODENAME-updates main
deb-src [signed-by=$KEYRING] $SECURITY $CODENAME-security main
EOF
APT_OPTS=(
    -o "Dir::Etc::sourcelist=$APT_DIR/sources.list"
    -o "Dir::Etc::sourceparts=$APT_DIR/sources.list.d"
    -o "Dir::State::Lists=$APT_DIR/lists"
    -o "Dir::Cache=$APT_DIR/cache"
    -o "APT::Sandbox::User=root"
    -o "Acquire::Retries=3"
)
log "fetching the source lists"
apt-get "${APT_OPTS[@]}" -qq update >&2

# The installed version when the archive still offers it, else the newest one
# that downloads (a mirror may list a security update it does not yet serve).
fetch_source() { # <source package> <version>
    local pkg="$1" ver="$2" dir="$WORK/src/$1" v
    mkdir -p "$dir"
    for v in "$ver" $(apt-cache "${APT_OPTS[@]}" showsrc "$pkg" 2>/dev/null \
                      | sed -n 's/^Version: //p' | sort -u -V -r); do
        log "fetching $pkg $v"
        if (cd "$dir" && apt-get "${APT_OPTS[@]}" -qq source "$pkg=$v" >&2 2>"$WORK/fetch.err"); then
            echo "$pkg $v" >> "$WORK/fetched"
            find "$dir" -mindepth 1 -maxdepth 1 -type d | head -n1
            return 0
        fi
        sed 's/^/    /' "$WORK/fetch.err" >&2
        rm -rf "${dir:?}"/*
    done
    echo "windows toolchain: no source of $pkg could be fetched" >&2
    return 1
}

PNG_SRC="$(fetch_source libpng1.6 "$PNG_VERSION")"
WX_SRC="$(fetch_source wxwidgets3.2 "$WX_VERSION")"
[ -x "$PNG_SRC/configure" ] && [ -x "$WX_SRC/configure" ] || { echo "windows toolchain: unpacked sources lack configure" >&2; exit 1; }

BUILD_ENV=(
    CC="$HOST-gcc-posix" CXX="$HOST-g++-posix"
    AR="$HOST-ar" RANLIB="$HOST-ranlib" RC="$HOST-windres" WINDRES="$HOST-windres"
    STRIP="$HOST-strip"
)

# --- libpng -----------------------------------------------------------------
log "building libpng"
mkdir -p "$WORK/build/png"
(
    cd "$WORK/build/png"
    env "${BUILD_ENV[@]}" CFLAGS="-O2" \
        nice -n 19 "$PNG_SRC/configure" --host="$HOST" --build="$(gcc -dumpmachine)" \
        --prefix="$STAGE" --disable-shared --enable-static \
        --disable-tools --disable-tests >"$WORK/png-configure.log" 2>&1 \
        || { tail -40 "$WORK/png-configure.log" >&2; exit 1; }
    nice -n 19 make -j "$JOBS" >"$WORK/png-build.log" 2>&1 \
        || { tail -40 "$WORK/png-build.log" >&2; exit 1; }
    make install >>"$WORK/png-build.log" 2>&1
)

# --- wxWidgets for MSW, static, only what we use -----------------------------
log "building wxWidgets for MSW (the long part)"
mkdir -p "$WORK/build/wx"
(
    cd "$WORK/build/wx"
    env "${BUILD_ENV[@]}" \
        CPPFLAGS="-I$STAGE/include" LDFLAGS="-L$STAGE/lib" \
        PKG_CONFIG_LIBDIR="$STAGE/lib/pkgconfig:/usr/$HOST/lib/pkgconfig" \
        CXXFLAGS="-O2" CFLAGS="-O2" \
        nice -n 19 "$WX_SRC/configure" --host="$HOST" --build="$(gcc -dumpmachine)" \
        --prefix="$STAGE" --with-msw --disable-shared --enable-unicode \
        --with-libpng=sys --with-zlib=sys \
        --without-libjpeg --without-libtiff --without-liblzma --without-expat \
        --without-opengl --without-libcurl --without-regex --without-nanosvg \
        --disable-xrc --disable-html --disable-htmlhelp \
        --disable-webview --disable-mediactrl --disable-stc --disable-richtext \
        --disable-aui --disable-propgrid --disable-ribbon \
        --disable-svg --disable-webrequest --disable-sound --disable-joystick \
        --disable-tests --disable-precomp-headers \
        >"$WORK/wx-configure.log" 2>&1 \
        || { tail -60 "$WORK/wx-configure.log" >&2; exit 1; }
    nice -n 19 make -j "$JOBS" >"$WORK/wx-build.log" 2>&1 \
        || { grep -m 20 -B2 -A8 -E 'error' "$WORK/wx-build.log" >&2; tail -30 "$WORK/wx-build.log" >&2; exit 1; }
    make install >>"$WORK/wx-build.log" 2>&1
)

# --- GoogleTest ---------------------------------------------------------------
log "building GoogleTest"
PONTIRO_MINGW_PREFIX="$STAGE" nice -n 19 cmake -S /usr/src/googletest -B "$WORK/build/gtest" \
    -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN_FILE" -DPONTIRO_MINGW_PREFIX="$STAGE" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$STAGE" \
    -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON -Dgtest_disable_pthreads=OFF \
    >"$WORK/gtest.log" 2>&1 || { tail -40 "$WORK/gtest.log" >&2; exit 1; }
nice -n 19 cmake --build "$WORK/build/gtest" -j "$JOBS" >>"$WORK/gtest.log" 2>&1 \
    || { tail -40 "$WORK/gtest.log" >&2; exit 1; }
cmake --install "$WORK/build/gtest" >>"$WORK/gtest.log" 2>&1

{
    cat "$WORK/fetched"
    echo "googletest $GTEST_VERSION"
    echo "libz-mingw-w64 $ZLIB_VERSION"
    echo "gcc $GCC_VERSION"
    echo "built in $(( $(date +%s) - START )) s on $(date -u +%Y-%m-%dT%H:%M:%SZ)"
} > "$STAGE/VERSIONS"
touch "$STAGE/.complete"
log "done in $(( $(date +%s) - START )) s: $PREFIX"
echo "$PREFIX"
