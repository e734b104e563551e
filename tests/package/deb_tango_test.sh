#!/usr/bin/env bash
# The Tango device server's own Debian package: it holds the server, its manual page and systemd
# unit, its libraries resolve, the panel's package does not depend on Tango, and lintian is clean.
# Usage: tests/package/deb_tango_test.sh DRIVERPANEL-TANGO.deb DRIVERPANEL.deb
set -euo pipefail
deb=$(realpath "$1")
panel_deb=$(realpath "$2")
work=$(mktemp -d "${TMPDIR:-/tmp}/driverpanel-tango-deb.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAILED: $*" >&2
    failures=$((failures + 1))
}

dpkg-deb -x "$deb" "$work/root"
for file in usr/bin/LaserDiodeDriver usr/share/man/man1/LaserDiodeDriver.1.gz \
    lib/systemd/system/driverpanel-tango@.service usr/lib/systemd/system/driverpanel-tango@.service \
    usr/share/doc/driverpanel-tango/copyright usr/share/doc/driverpanel-tango/changelog.gz; do
    [[ -e $work/root/$file ]] && echo "ok     /$file"
done >"$work/found"
cat "$work/found"
for what in usr/bin/LaserDiodeDriver LaserDiodeDriver.1.gz driverpanel-tango@.service copyright \
    changelog.gz; do
    grep -q "$what" "$work/found" || fail "not in the package: $what"
done
if ldd "$work/root/usr/bin/LaserDiodeDriver" | grep -q "not found"; then
    fail "libraries of LaserDiodeDriver not found: $(ldd "$work/root/usr/bin/LaserDiodeDriver" | grep 'not found')"
fi
dpkg-deb -f "$deb" Depends | grep -q libtango || fail "driverpanel-tango does not depend on libtango"
if dpkg-deb -f "$panel_deb" Depends | grep -qiE "tango|omni"; then
    fail "the panel's package depends on Tango: $(dpkg-deb -f "$panel_deb" Depends)"
fi
dpkg-deb -c "$panel_deb" | grep -q LaserDiodeDriver && fail "the panel's package holds the server"
lintian --fail-on error,warning "$deb" >"$work/lintian.log" 2>&1 ||
    { cat "$work/lintian.log" >&2; fail "lintian"; }

((failures == 0)) || exit 1
echo "Debian package test: $(dpkg-deb -f "$deb" Package) $(dpkg-deb -f "$deb" Version) holds the server, resolves its libraries, passed lintian."
