#!/usr/bin/env bash
# The Debian package test must be able to fail: it is run on copies of the package that each
# lack one file, and must fail naming that file.
# Usage: tests/package/deb_missing_file_test.sh PACKAGE.deb
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
deb=$(realpath "$1")
work=$(mktemp -d "${TMPDIR:-/tmp}/driverpanel-deb-missing.XXXXXX")
trap 'rm -rf "$work"' EXIT

# A program (whose run fails too) and a file only its presence check can miss.
missing_files=(usr/bin/driverpanel-sim usr/share/man/man1/driverpanel.1.gz)
failures=0
for file in "${missing_files[@]}"; do
    rm -rf "$work/tree"
    dpkg-deb -R "$deb" "$work/tree"
    rm "$work/tree/$file"
    sed -i "\\|  $file\$|d" "$work/tree/DEBIAN/md5sums"
    broken=$work/$(basename "$deb")
    fakeroot dpkg-deb -b "$work/tree" "$broken" >/dev/null
    if "$here/deb_test.sh" "$broken" >"$work/out.log" 2>&1; then
        echo "FAILED: the package test passed a package without /$file" >&2
        failures=$((failures + 1))
    elif ! grep -q "not installed: /$file" "$work/out.log"; then
        cat "$work/out.log" >&2
        echo "FAILED: the package test did not name the missing /$file" >&2
        failures=$((failures + 1))
    else
        echo "The package test fails on a package without /$file, and names it."
    fi
done
exit $((failures > 0))
