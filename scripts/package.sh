#!/usr/bin/env bash
# Builds the installable packages into dist/ and prints their paths: the Debian packages
# (driverpanel_<version>_amd64.deb, and driverpanel-tango_<version>_amd64.deb with the Tango
# device server) and, cross-built with mingw-w64, the Windows setup program and its portable
# .zip (driverpanel-<version>-win64.exe and .zip). Release builds without the tests, in
# build/package-linux and build/package-windows.
# Usage: scripts/package.sh [linux] [windows]   (default both; installs what is missing)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
dist=$root/dist
platforms=("$@")
((${#platforms[@]})) || platforms=(linux windows)

scripts/install-deps.sh build windows package tango >&2
jobs=$(nproc)
mkdir -p "$dist"
# One time stamp for everything the packages carry (the tools that write the files and the
# archives honour it): the same sources give the same files, in the setup and in the .zip alike.
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || date +%s)
export SOURCE_DATE_EPOCH

# cpack in BUILD_DIR, its packages copied to dist/; prints their paths.
cpack_into_dist() {
    local build=$1 output package
    output=$(cd "$build" && cpack) || { echo "$output" >&2; return 1; }
    while read -r package; do
        cp "$package" "$dist/"
        echo "$dist/$(basename "$package")"
    done < <(sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p' <<<"$output")
}

configure() {  # configure BUILD_DIR [CMAKE ARGUMENTS...]: a release build without tests
    local build=$1
    shift
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DDRIVERPANEL_BUILD_TESTS=OFF \
        -DDRIVERPANEL_BUILD_BENCH=OFF "$@" >&2
    cmake --build "$build" -j "$jobs" >&2
}

linux() {
    # Debian's build flags, hardening included. CMake reads no preprocessor flags from the
    # environment, so those (_FORTIFY_SOURCE) go with the compiler's.
    local flags
    flags=$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)
    (
        eval "$flags"
        configure "$root/build/package-linux" -DCMAKE_C_FLAGS="$CPPFLAGS $CFLAGS" \
            -DCMAKE_CXX_FLAGS="$CPPFLAGS $CXXFLAGS" -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS"
    )
    cpack_into_dist "$root/build/package-linux"
}

windows() {
    configure "$root/build/package-windows" --toolchain "$root/cmake/mingw-w64-x86_64.cmake"
    cpack_into_dist "$root/build/package-windows"
}

for platform in "${platforms[@]}"; do
    case $platform in
    linux | windows) "$platform" ;;
    *)
        echo "usage: scripts/package.sh [linux] [windows]" >&2
        exit 2
        ;;
    esac
done
