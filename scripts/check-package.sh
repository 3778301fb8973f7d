#!/usr/bin/env bash
# Checks a Debian package made by scripts/package.sh (default: the one in
# build/package): unpacks it into a scratch root, validates its menu entry,
# looks at its dependencies and runs the installed program with --version and
# --help.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
made=("$repo"/build/package/*.deb)
deb=${1:-${made[0]}}
[ -f "$deb" ] || {
    echo "check-package: no package (run scripts/package.sh)" >&2
    exit 1
}
fail() {
    echo "check-package: $(basename "$deb"): $*" >&2
    exit 1
}

root=$(mktemp -d /tmp/vesk-package.XXXXXX)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"

share=$root/usr/share
for f in usr/bin/cv_veskauction usr/share/applications/cv_veskauction.desktop \
    usr/share/icons/hicolor/scalable/apps/cv_veskauction.svg \
    usr/share/cv_veskauction/cv_veskauction.ini usr/share/cv_veskauction/sql/mysql/item.sql \
    usr/share/cv_veskauction/sql/mysql/suite.sql usr/share/cv_veskauction/sql/sqlite/item.sql \
    usr/share/cv_veskauction/sql/sqlite/suite.sql; do
    [ -f "$root/$f" ] || fail "/$f is missing"
done
# Hints count too: one says, for instance, that the entry lands in no menu.
out=$(desktop-file-validate "$share/applications/cv_veskauction.desktop" 2>&1) && [ -z "$out" ] ||
    fail "the menu entry is not valid: $out"
grep -qiE '^ *password *= *passwordname *$' "$share/cv_veskauction/cv_veskauction.ini" ||
    fail "the sample configuration holds a password other than the placeholder"

# The Qt libraries found by dpkg-shlibdeps (the network one brings the TLS backend) and the
# database drivers, each a package this system knows.
depends=$(dpkg-deb -f "$deb" Depends)
for p in libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 libqt6sql6 libqt6sql6-mysql libqt6sql6-odbc \
    libqt6sql6-sqlite; do
    grep -qE "(^|, )$p( |,|$)" <<<"$depends" || fail "Depends lacks $p: $depends"
done
for p in $(sed -e 's/([^)]*)//g' -e 's/|[^,]*//g' -e 's/,/ /g' <<<"$depends"); do
    dpkg-query -W "$p" >/dev/null 2>&1 || fail "depends on $p, which is not installed here"
done

bin=$root/usr/bin/cv_veskauction
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$root/run
mkdir -m 700 "$XDG_RUNTIME_DIR"
! readelf -d "$bin" | grep -qE 'R(UN)?PATH' || fail "the program carries a run path"
version=$(dpkg-deb -f "$deb" Version)
out=$("$bin" --version) || fail "--version failed"
[ "$out" = "cv_veskauction $version" ] || fail "--version says '$out', not '$version'"
out=$("$bin" --help) || fail "--help failed"
grep -q -- '--install-dir <DIR>' <<<"$out" || fail "--help does not list --install-dir: $out"
echo "check-package: $(basename "$deb") installs $(dpkg-deb -c "$deb" | grep -vc '/$') files;" \
    "the installed program runs; Depends: $depends"
