#!/usr/bin/env bash
# The Windows setup test must be able to fail: CPack's setup script is built again from its
# staging folder without DriverPanel.exe, and the test must fail on that setup, naming the file.
# Usage: tests/package/windows_missing_file_test.sh PACKAGE_BUILD_DIR PORTABLE.zip
#   PACKAGE_BUILD_DIR  where cpack made the setup (build/package-windows)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath "$1")
portable=$(realpath "$2")
nsis=$build/_CPack_Packages/win64/NSIS
work=$build/setup-missing-file-test
missing=DriverPanel.exe

rm -rf "$work"
mkdir -p "$work"
staging=$(sed -n 's/^ *!define INST_DIR "\(.*\)"$/\1/p' "$nsis/project.nsi")
cp -r "$staging" "$work/staging"
rm "$work/staging/$missing"
sed -e "s|!define INST_DIR \".*\"|!define INST_DIR \"$work/staging\"|" \
    -e "s|^\( *OutFile\) \".*\"|\1 \"$work/setup.exe\"|" "$nsis/project.nsi" >"$work/project.nsi"
cp "$nsis/NSIS.InstallOptions.ini" "$work/" 2>/dev/null || true
"$root/packaging/windows/makensis-amd64.sh" -V1 "$work/project.nsi" >"$work/makensis.log" 2>&1 ||
    { cat "$work/makensis.log" >&2; echo "FAILED: could not build the setup without $missing" >&2; exit 1; }

if "$root/tests/package/windows_setup_test.sh" "$work/setup.exe" "$portable" "$work/run" \
    >"$work/test.log" 2>&1; then
    echo "FAILED: the setup test passed a setup without $missing" >&2
    exit 1
fi
if ! grep -q "not installed: $missing" "$work/test.log"; then
    cat "$work/test.log" >&2
    echo "FAILED: the setup test did not name the missing $missing" >&2
    exit 1
fi
echo "The setup test fails on a setup without $missing, and names it."
