#!/usr/bin/env bash
# The Debian package, installed and removed by dpkg in a throwaway root whose package database
# holds only what the package depends on, as this machine has it: the dependencies must resolve,
# every file must land, the installed programs must run (the panel's version, the simulator,
# and the panel on a virtual display reading from the simulator), and removal must leave
# nothing of ours. Then lintian and the desktop-entry and AppStream validators.
# Nothing outside the throwaway root is changed: it runs as root or, under fakeroot, as a user.
#
# Usage: tests/package/deb_test.sh PACKAGE.deb [ARTIFACT_DIR]
#   ARTIFACT_DIR  keeps the simulator's frame log and a screenshot of the installed panel
# Exit status 0 when every check passed; each failed check is named on standard error.
set -euo pipefail
root_dir=$(cd "$(dirname "$0")/../.." && pwd)
deb=$(realpath "$1")
artifacts=${2:-}

package=$(dpkg-deb -f "$deb" Package)
version=$(dpkg-deb -f "$deb" Version)
caption=$(sed -n 's/^#define PANEL_CAPTION "\(.*\)"$/\1/p' "$root_dir/resources/panel_template.h")

work=$(mktemp -d "${TMPDIR:-/tmp}/driverpanel-deb-test.XXXXXX")
target=$work/root
source "$root_dir/scripts/lib/processes.sh"
after_reaping() { rm -rf "$work"; }

failures=0
fail() {
    echo "FAILED: $*" >&2
    failures=$((failures + 1))
}
dpkg_target() {
    fakeroot dpkg --root="$target" --log="$target/var/log/dpkg.log" "$@"
}

# What must be installed, relative to the root.
app_id=$(dpkg-deb -c "$deb" | sed -n 's|.*/usr/share/applications/\(.*\)\.desktop$|\1|p')
expected=(
    usr/bin/driverpanel
    usr/bin/driverpanel-sim
    usr/bin/ldctl
    "usr/share/applications/$app_id.desktop"
    "usr/share/metainfo/$app_id.metainfo.xml"
    usr/share/icons/hicolor/scalable/apps/driverpanel.svg
    usr/share/man/man1/driverpanel.1.gz
    usr/share/man/man1/driverpanel-sim.1.gz
    usr/share/man/man1/ldctl.1.gz
    "usr/share/doc/$package/copyright"
    "usr/share/doc/$package/changelog.gz"
    "usr/share/doc/$package/README.md"
    "usr/share/doc/$package/README.Debian"
)
for size in 16 24 32 48 64 128 256; do
    expected+=("usr/share/icons/hicolor/${size}x$size/apps/driverpanel.png")
done

echo "--- $package $version: installing into a throwaway root"
mkdir -p "$target"/var/lib/dpkg/{info,updates,triggers} "$target/var/log"
touch "$target/var/lib/dpkg/status"
# The root's database knows the package's dependencies at this machine's versions (and nothing
# else), so dpkg checks them for real; a dependency this machine lacks fails the install.
for dependency in $(dpkg-deb -f "$deb" Depends | sed 's/([^)]*)//g; s/[,|]/ /g'); do
    if dpkg-query -s "$dependency" >>"$target/var/lib/dpkg/status" 2>/dev/null; then
        echo >>"$target/var/lib/dpkg/status"
        touch "$target/var/lib/dpkg/info/$(dpkg-query -W -f='${binary:Package}' "$dependency").list"
    fi
done
if ! dpkg_target -i "$deb" >"$work/install.log" 2>&1; then
    cat "$work/install.log" >&2
    fail "dpkg could not install $deb"
fi
status=$(dpkg-query --root="$target" -W -f='${Status}' "$package" 2>/dev/null || true)
[[ $status == "install ok installed" ]] || fail "package status after install: '$status'"
for file in "${expected[@]}"; do
    [[ -f $target/$file ]] || fail "not installed: /$file"
done

echo "--- running the installed programs"
panel=$target/usr/bin/driverpanel
sim=$target/usr/bin/driverpanel-sim
# Every program says the package's version, the panel without a display.
for program in driverpanel driverpanel-sim ldctl; do
    [[ -x $target/usr/bin/$program ]] || continue
    shown=$(env -u DISPLAY -u WAYLAND_DISPLAY XDG_RUNTIME_DIR="$work" \
        "$target/usr/bin/$program" --version 2>/dev/null) || fail "$program --version failed"
    [[ $shown == "$program $version" ]] || fail "$program --version said '$shown'"
done

export XDG_RUNTIME_DIR=$work/runtime DRIVERPANEL_PORTS=$work/ports
mkdir -m 700 "$XDG_RUNTIME_DIR" "$DRIVERPANEL_PORTS"
log=$work/sim.log
if [[ -x $sim ]]; then
    "$sim" --link sim --log "$log" --log-sent >"$work/sim.out" 2>&1 &
    pids+=($!)
fi
if ! wait_for 10 test -L "$DRIVERPANEL_PORTS/sim"; then
    fail "the installed simulator did not offer its port"
else
    # The panel on a virtual display, operated from the keyboard: focus starts on OpenPort;
    # Tab twice to PortList, End picks the simulator (the last port), back to OpenPort, press.
    Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp 5>"$work/display" 2>/dev/null &
    pids+=($!)
    wait_for 10 test -s "$work/display" || fail "Xvfb did not start"
    DISPLAY=":$(head -n 1 "$work/display")"
    export DISPLAY
    "$panel" >"$work/panel.out" 2>&1 &
    pids+=($!)
    if window=$(timeout 30 xdotool search --sync --name "$caption" | head -n 1); then
        xdotool windowfocus --sync "$window"
        xdotool key --window "$window" Tab Tab End shift+Tab shift+Tab space
        # A reading: the module answered temperature and power queries the panel sent, which it
        # does only after it has shown the module's configuration.
        read_twice() {
            (($(grep -c 'RX EF EF 02 22 02 valid' "$log") >= 2)) &&
                grep -q 'TX ED FA .. 22 ' "$log"
        }
        wait_for 30 read_twice || fail "the installed panel read nothing from the simulator"
        if [[ -n $artifacts ]]; then
            mkdir -p "$artifacts"
            import -window "$window" "$artifacts/installed-panel.png" || true
            cp "$log" "$artifacts/installed-panel-sim.log"
        fi
    else
        fail "the installed panel did not show its window"
    fi
fi
for pid in "${pids[@]}"; do
    kill "$pid" 2>/dev/null || true
done
wait 2>/dev/null || true
pids=()

echo "--- checking the package and its desktop files"
lintian --fail-on error,warning "$deb" >"$work/lintian.log" 2>&1 ||
    { cat "$work/lintian.log" >&2; fail "lintian"; }
if [[ -f $target/usr/share/applications/$app_id.desktop ]]; then
    desktop-file-validate "$target/usr/share/applications/$app_id.desktop" ||
        fail "desktop-file-validate"
fi
if [[ -f $target/usr/share/metainfo/$app_id.metainfo.xml ]]; then
    appstreamcli validate --no-net --pedantic "$target/usr/share/metainfo/$app_id.metainfo.xml" \
        >"$work/appstream.log" 2>&1 || { cat "$work/appstream.log" >&2; fail "appstreamcli validate"; }
fi

echo "--- removing it"
dpkg_target --purge "$package" >"$work/remove.log" 2>&1 ||
    { cat "$work/remove.log" >&2; fail "dpkg could not remove $package"; }
left=$(cd "$target" && find . -mindepth 1 -not -path './var' -not -path './var/*')
[[ -z $left ]] || fail "left after removal: $left"
ls "$target/var/lib/dpkg/info/$package".* >/dev/null 2>&1 && fail "dpkg still keeps $package's files"

if ((failures)); then
    echo "Debian package test: $failures check(s) FAILED for $deb" >&2
    exit 1
fi
echo "Debian package test: $package $version installed, ran, passed lintian and the validators,"
echo "and was removed without a trace."
