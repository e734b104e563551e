#!/usr/bin/env bash
# The package part of the test command: builds the packages (scripts/package.sh), then installs,
# runs and removes each one (the Debian package in a throwaway root, the Windows setup under
# Wine), and shows that each of those tests fails on a package that lacks a file.
# Usage: scripts/test-packages.sh [linux] [windows]   (default both; after
#        scripts/install-deps.sh build windows package)
set -euo pipefail
cd "$(dirname "$0")/.."
platforms=("$@")
((${#platforms[@]})) || platforms=(linux windows)

packages=$(scripts/package.sh "${platforms[@]}")
echo "$packages"
failed=()
for platform in "${platforms[@]}"; do
    case $platform in
    linux)
        deb=$(grep '/driverpanel_[^/]*\.deb$' <<<"$packages")
        tango_deb=$(grep '/driverpanel-tango_[^/]*\.deb$' <<<"$packages" || true)
        echo "--- the Debian package"
        tests/package/deb_test.sh "$deb" build/package-linux/artifacts || failed+=(deb)
        tests/package/deb_missing_file_test.sh "$deb" || failed+=("deb test's own failure")
        echo "--- the Tango device server's Debian package"
        if [[ -n $tango_deb ]]; then
            tests/package/deb_tango_test.sh "$tango_deb" "$deb" || failed+=(deb-tango)
        else
            echo "FAILED: no driverpanel-tango package was built" >&2
            failed+=(deb-tango)
        fi
        ;;
    windows)
        setup=$(grep '\.exe$' <<<"$packages")
        portable=$(grep '\.zip$' <<<"$packages")
        echo "--- the Windows setup under Wine"
        tests/package/windows_setup_test.sh "$setup" "$portable" || failed+=(setup)
        tests/package/windows_missing_file_test.sh build/package-windows "$portable" ||
            failed+=("setup test's own failure")
        ;;
    esac
done

if ((${#failed[@]})); then
    echo "Package tests: FAILED: ${failed[*]}"
    exit 1
fi
echo "Package tests: all passed."
