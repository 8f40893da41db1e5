#!/usr/bin/env bash
# The launcher across an upgrade, with the program replaced by a stand-in
# that notes where and how it was started: the user's login and language
# stay, the installation's new host arrives; the first start copies the
# installation's file privately; the user's folder follows XDG_CONFIG_HOME.
#   upgrade_test.sh BUILD SOURCE WORK
set -euo pipefail
BUILD="$1" SOURCE="$2" WORK="$3"

fail() { echo "FAIL: $*" >&2; exit 1; }
# The value of <section>/<entry> in an ini file (the first one).
value() { # file section entry
    awk -v section="[$2]" -v entry="$3" '
        /^\[/ { inside = ($0 == section); next }
        inside && index($0, entry "=") == 1 { print substr($0, length(entry) + 2); exit }' "$1"
}

root="$WORK/scratch root"
rm -rf "$WORK" && mkdir -p "$WORK"
cmake --install "$BUILD" --prefix "$root/usr" >/dev/null || fail "cmake --install failed"
launcher="$root/usr/bin/pontiro"
installed="$root/usr/share/pontiro/Pontiro.ini"
cat > "$root/usr/lib/pontiro/Pontiro" <<'STANDIN'
#!/bin/sh
printf '%s\n%s\n' "$PWD" "$#" > "$STARTS"
STANDIN

start() { # home [XDG_CONFIG_HOME]
    rm -f "$WORK/starts"
    env -i "HOME=$1" ${2+"XDG_CONFIG_HOME=$2"} "STARTS=$WORK/starts" PATH=/usr/bin:/bin "$launcher" ||
        fail "the launcher failed"
    [ -f "$WORK/starts" ] || fail "the launcher did not start the program"
}

# First start: a private, exact copy; the program started there, with
# nothing on its command line.
home="$WORK/home with blanks"
mkdir -p "$home"
start "$home"
user="$home/.config/pontiro/Pontiro.ini"
cmp -s "$installed" "$user" || fail "the first start did not copy the installation's Pontiro.ini"
[ "$(stat -c %a "$user")" = 600 ] || fail "the user's Pontiro.ini has mode $(stat -c %a "$user")"
[ "$(sed -n 1p "$WORK/starts")" = "$home/.config/pontiro" ] ||
    fail "the program ran in $(sed -n 1p "$WORK/starts")"
[ "$(sed -n 2p "$WORK/starts")" = 0 ] || fail "the program was given arguments"

# The user logs in and picks a language (sealed texts end in '='), and keeps
# a catalog of their own; then a newer installation names another host and
# a new file name, and drops the roadbook's path.
login='cBO7MH9eoo1x/kJ+c0eXqA=='
password='Aq0+u3n8Yw2d7w=='
sed -i -e "s|^language=.*|language=fr|" -e "s|^username=.*|username=$login|" \
    -e "s|^password=.*|password=$password|" -e 's|^port=.*|port=3128|' "$user"
mkdir -p "$home/.config/pontiro/es"
echo "the user's own" > "$home/.config/pontiro/es/lang.mo"
sed -i -e 's|^hostname=127.0.0.1:8080$|hostname=updates.example:80|' \
    -e 's|^filenamev2=.*|filenamev2=speedcams_mobile.bin|' \
    -e '/^\[20minutes\]/,/^\[/{/^url=/d}' "$installed"
start "$home"

for check in "Pontiro language fr" "addressbook username $login" "addressbook password $password" \
             "proxy port 3128" "addressbook hostname updates.example:80" \
             "speedcam hostname updates.example:80" "speedcam filenamev2 speedcams_mobile.bin"; do
    set -- $check
    [ "$(value "$user" "$1" "$2")" = "$3" ] ||
        fail "after the upgrade $1/$2 is '$(value "$user" "$1" "$2")', not '$3'"
done
[ -z "$(value "$user" 20minutes url)" ] || fail "a setting the installation dropped stayed"
[ "$(stat -c %a "$user")" = 600 ] || fail "the user's Pontiro.ini has mode $(stat -c %a "$user") after the upgrade"
[ "$(cat "$home/.config/pontiro/es/lang.mo")" = "the user's own" ] || fail "the user's own catalog was replaced"
[ -L "$home/.config/pontiro/de" ] || fail "the installation's catalogs are no longer linked"

# A start with nothing new leaves the file alone; a broken installation
# without its settings file still starts the program on the user's.
before=$(stat -c '%i %Y' "$user")
sleep 1
start "$home"
[ "$(stat -c '%i %Y' "$user")" = "$before" ] || fail "a start with nothing new rewrote the user's file"
cp "$user" "$WORK/user-before"
rm "$installed"
start "$home" 2>"$WORK/warning"
cmp -s "$user" "$WORK/user-before" || fail "without the installation's file the user's file changed"
grep -q "did not reach" "$WORK/warning" || fail "no warning about the missing installation file"

# XDG_CONFIG_HOME, when absolute, holds the user's folder; a relative one
# is ignored.
cp "$WORK/user-before" "$installed"
start "$home" "$WORK/config home"
[ "$(sed -n 1p "$WORK/starts")" = "$WORK/config home/pontiro" ] ||
    fail "with XDG_CONFIG_HOME the program ran in $(sed -n 1p "$WORK/starts")"
[ -f "$WORK/config home/pontiro/Pontiro.ini" ] || fail "no Pontiro.ini under XDG_CONFIG_HOME"
start "$home" "relative"
[ "$(sed -n 1p "$WORK/starts")" = "$home/.config/pontiro" ] ||
    fail "a relative XDG_CONFIG_HOME was used: $(sed -n 1p "$WORK/starts")"

# A relative HOME is taken from where the launcher was started.
(cd "$WORK" && start "relative home" && start "relative home" 2>"$WORK/warning") ||
    fail "the launcher failed with a relative HOME"
[ ! -s "$WORK/warning" ] || fail "with a relative HOME: $(cat "$WORK/warning")"
cmp -s "$installed" "$WORK/relative home/.config/pontiro/Pontiro.ini" ||
    fail "with a relative HOME the user's file is not the installation's"
echo "the user's settings stayed and the installation's reached them"
