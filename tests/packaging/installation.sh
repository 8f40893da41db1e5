# Checks of an installed tree, shared by install_test.sh and deb_test.sh
# (sourced). They expect SOURCE (the source tree), PROBE (launcher_probe),
# SHOTS (a folder for screenshots) and METADATA_LICENSE (ON when the
# AppStream file has its licence).

ID=org.pontiro.Pontiro

fail() { echo "FAIL: $*" >&2; exit 1; }

# Every file and link below <root>/usr with its mode, sorted.
listing() {
    (cd "$1/usr" && find . -mindepth 1 \( -type f -o -type l \) -printf '%m %P\n' | LC_ALL=C sort)
}

check_layout() { # root
    local root="$1" expected
    expected=$(LC_ALL=C sort <<EOF
755 bin/pontiro
755 lib/pontiro/Pontiro
755 lib/pontiro/update-settings
644 share/applications/$ID.desktop
644 share/doc/pontiro/changelog.gz
644 share/doc/pontiro/copyright
644 share/icons/hicolor/128x128/apps/$ID.png
644 share/icons/hicolor/48x48/apps/$ID.png
644 share/man/man1/pontiro.1.gz
644 share/metainfo/$ID.metainfo.xml
644 share/pontiro/Pontiro.ini
644 share/pontiro/de/lang.mo
644 share/pontiro/es/lang.mo
644 share/pontiro/fr/lang.mo
EOF
)
    diff <(echo "$expected") <(listing "$root") >&2 || fail "the installed files differ from the layout (< wanted, > found)"
    cmp -s "$SOURCE/packaging/Pontiro.ini" "$root/usr/share/pontiro/Pontiro.ini" ||
        fail "the installation's Pontiro.ini is not the sample of packaging/Pontiro.ini"
    local size
    for size in 48 128; do
        # A PNG's width and height are the two numbers after its IHDR mark.
        local png="$root/usr/share/icons/hicolor/${size}x${size}/apps/$ID.png" head
        head=$(od -An -tx1 -j12 -N12 "$png" | tr -d ' \n')
        [ "$head" = "49484452$(printf '%08x%08x' "$size" "$size")" ] ||
            fail "$png is not a ${size} x ${size} PNG picture"
    done
    gzip -t "$root/usr/share/man/man1/pontiro.1.gz" "$root/usr/share/doc/pontiro/changelog.gz" ||
        fail "a compressed document is damaged"
    local warnings
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z \
        "$root/usr/share/man/man1/pontiro.1.gz" 2>&1 >/dev/null) || fail "man cannot show the manual page"
    [ -z "$warnings" ] || fail "the manual page has faults: $warnings"
}

check_menu_entry() { # root
    local root="$1" desktop="$1/usr/share/applications/$ID.desktop" out
    out=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $out"
    [ -z "$out" ] || fail "desktop-file-validate: $out"
    grep -qx 'Exec=pontiro' "$desktop" || fail "the menu entry does not start the launcher"
    grep -qx "Icon=$ID" "$desktop" || fail "the menu entry does not name the installed icon"

    # The metadata file alone, then with the menu entry and icons beside it.
    appstream validate --no-net "$root/usr/share/metainfo/$ID.metainfo.xml"
    appstream validate-tree --no-net "$root"
}

# While no licence has been granted, the metadata's own licence is the one
# finding allowed.
appstream() { # appstreamcli arguments
    local out findings
    out=$(appstreamcli "$@" 2>&1) && return 0
    findings=$(grep -E '^ *[EW]: ' <<<"$out" || true)
    if [ "$METADATA_LICENSE" = ON ] || [ -z "$findings" ] ||
        grep -v 'metadata-license-missing' <<<"$findings" >/dev/null; then
        fail "appstreamcli $*: $out"
    fi
}

# Starts the launcher as a user would, with an empty home (whose path has a
# blank), on an X server of its own; then checks the user's folder.
check_launcher() { # root work
    local launcher="$1/usr/bin/pontiro" work="$2"
    local home="$work/home of a user" display="" xvfb=""
    rm -rf "$home" && mkdir -p "$home" "$SHOTS"

    [ "$(env -i "HOME=$home" "$launcher" --version)" = "pontiro $VERSION" ] ||
        fail "pontiro --version does not say pontiro $VERSION"
    local usage
    usage=$(env -i "HOME=$home" "$launcher" --help) || fail "pontiro --help did not end with status 0"
    case "$usage" in
        "usage: pontiro "*) ;;
        *) fail "pontiro --help does not print its usage" ;;
    esac
    local status=0
    env -i "HOME=$home" "$launcher" --start >/dev/null 2>&1 || status=$?
    [ "$status" = 2 ] || fail "an unknown argument to pontiro did not end it with status 2 (got $status)"
    [ ! -e "$home/.config" ] || fail "pontiro with an argument touched the user's folder"

    Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
    xvfb=$!
    for _ in $(seq 100); do
        display=$(cat "$work/display" 2>/dev/null || true)
        [ -n "$display" ] && break
        sleep 0.1
    done
    [ -n "$display" ] || { kill "$xvfb"; fail "Xvfb did not start"; }
    status=0
    env -i "HOME=$home" "PATH=/usr/bin:/bin" "DISPLAY=:$display" LANG=C.UTF-8 \
        "$PROBE" "$launcher" "$SOURCE/app/res/icon.ico" "$SHOTS" || status=$?
    kill "$xvfb" 2>/dev/null || true
    wait "$xvfb" 2>/dev/null || true
    [ "$status" = 0 ] || fail "the installed program did not behave as a user expects (above)"

    local folder="$home/.config/pontiro" ini="$home/.config/pontiro/Pontiro.ini"
    [ -f "$ini" ] || fail "no Pontiro.ini in $folder after the window closed"
    [ "$(stat -c %a "$ini")" = 600 ] || fail "Pontiro.ini has mode $(stat -c %a "$ini"), not 600"
    [ "$(stat -c %a "$folder")" = 700 ] || fail "$folder has mode $(stat -c %a "$folder"), not 700"
    grep -qx 'language=de' "$ini" || fail "Pontiro.ini does not hold the language picked (de)"
    grep -qx 'filenamestatic=speedcams_static.bin' "$ini" ||
        fail "Pontiro.ini lacks the installation's settings"
    local language
    for language in de es fr; do
        [ -f "$folder/$language/lang.mo" ] || fail "the $language catalog is not reachable as $language/lang.mo"
    done
}
