#!/usr/bin/env bash
# The Windows setup program under Wine, in a private prefix made for this run: it installs
# silently under the 64-bit Program Files with its Start-menu shortcuts and its entry among the
# installed programs; the command prompt's script finds ldctl.exe on its PATH; the installed
# DriverPanel.exe, started from the install folder, opens the simulator's COM port, shows the
# module's configuration and a reading; the uninstaller then runs silently and leaves no file of
# ours. The portable .zip must hold the same programs.
#
# Usage: tests/package/windows_setup_test.sh SETUP.exe PORTABLE.zip [WORK_DIR]
#   WORK_DIR  the prefix, logs and a screenshot (default build/package-windows/setup-test)
# Needs the windows preset's end-to-end driver and the linux preset's simulator (built here
# when missing). Each failed check is named on standard error.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
setup=$(realpath "$1")
portable=$(realpath "$2")
work=${3:-$root/build/package-windows/setup-test}

package=driverpanel  # the setup's key among the installed programs
port_number=5 setpoint=100 maximum=500
sim=$root/build/linux/tools/simulator/driverpanel-sim
driver=$root/build/windows/tests/windows/e2e/driverpanel_e2e_driver.exe
if [[ ! -x $sim ]]; then
    (cd "$root" && cmake --preset linux >/dev/null &&
        cmake --build --preset linux -j 2 --target driverpanel-sim >/dev/null)
fi
if [[ ! -f $driver ]]; then
    (cd "$root" && cmake --preset windows >/dev/null &&
        cmake --build --preset windows -j 2 --target driverpanel_e2e_driver >/dev/null)
fi

rm -rf "$work"
mkdir -p "$work"
export WINEPREFIX=$work/wineprefix
source "$root/tests/windows/e2e/wine_bed.sh"

failures=0
fail() {
    echo "FAILED: $*" >&2
    failures=$((failures + 1))
}
unix_path() { winepath -u "$1" 2>/dev/null; }
registry_value() {  # registry_value KEY NAME: the value's data, empty when there is none
    wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
        awk -v name="$2" '$1 == name { sub(/^[ \t]*[^ \t]+[ \t]+[^ \t]+[ \t]+/, ""); print }'
}
ours() {  # every file or folder in the prefix's C: drive that carries one of our names
    find "$WINEPREFIX/drive_c" \( -iname '*driverpanel*' -o -iname "*$product*" \) -print
}

start_display "$work"
prepare_prefix "$work"
wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Cambria /d Caladea /f \
    >>"$work/wineboot.log" 2>&1

echo "--- installing $(basename "$setup") silently"
uninstall_key="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$package"
wine "$setup" /S >"$work/setup.log" 2>&1 || fail "the setup exited with status $?"
# The uninstaller's path says where the setup put the program.
uninstaller=$(registry_value "$uninstall_key" UninstallString | tr -d '"')
product=$(registry_value "$uninstall_key" DisplayName)
version=$(registry_value "$uninstall_key" DisplayVersion)
installed=false
if [[ -z $uninstaller ]]; then
    fail "no entry for $package among the installed programs"
else
    install_dir=$(dirname "$(unix_path "$uninstaller")")
    program_files=$(unix_path 'C:\Program Files')
    [[ $install_dir == "$program_files/"* ]] ||
        fail "installed in $install_dir, not under the 64-bit Program Files"
    [[ -n $product ]] || fail "the installed programs' entry has no name"
    zip_version=$(unzip -Z1 "$portable" | sed -n '1s|^driverpanel-\([^/]*\)-win64/.*|\1|p')
    [[ -n $version && $version == "$zip_version" ]] ||
        fail "the installed programs' entry shows version '$version', the .zip $zip_version"
    [[ -n $(registry_value "$uninstall_key" DisplayIcon) ]] || fail "the entry has no icon"
    installed=true
    programs=(DriverPanel.exe ldctl.exe ldctl-prompt.cmd)
    for file in "${programs[@]}" README.md "$(basename "$(unix_path "$uninstaller")")"; do
        [[ -f $install_dir/$file ]] || { fail "not installed: $file"; installed=false; }
    done
    shortcut=$(find "$WINEPREFIX/drive_c" -path '*Start Menu*' -name "$product.lnk" | head -n 1)
    if [[ -z $shortcut ]]; then
        fail "no Start-menu shortcut named $product"
    elif [[ $shortcut != "$WINEPREFIX/drive_c/ProgramData/"* ]]; then
        fail "the Start-menu shortcut is not for every user: $shortcut"
    elif ! grep -qa 'DriverPanel.exe' "$shortcut"; then
        fail "the Start-menu shortcut does not start DriverPanel.exe"
    fi
    # The command prompt's entry runs the script beside the programs, which puts them on the
    # PATH: run from elsewhere, its `ldctl --version` must find the installed ldctl.exe.
    prompt=$(winepath -w "$install_dir/ldctl-prompt.cmd")
    link=$(find "$WINEPREFIX/drive_c" -path '*Start Menu*' -name "$product command prompt.lnk" \
        -exec cat {} + | tr -d '\0')
    [[ $link == *cmd.exe*"/k \"\"$prompt\"\""* ]] ||
        fail "no Start-menu shortcut '$product command prompt' running cmd.exe /k on $prompt"
    prompt_output=$(cd "$work" && wine cmd /c "$prompt" 2>&1 | tr -d '\r') || true
    grep -qxF "ldctl $version" <<<"$prompt_output" ||
        fail "the command prompt's script does not run the installed ldctl: $prompt_output"
    # The portable .zip: the same programs, in one folder.
    for file in "${programs[@]}"; do
        if [[ -f $install_dir/$file ]] && ! cmp -s "$install_dir/$file" \
            <(unzip -p "$portable" "driverpanel-$zip_version-win64/$file"); then
            fail "the .zip's $file is not the one the setup installed"
        fi
    done
fi

if $installed; then
    echo "--- the installed panel against the simulator on COM$port_number"
    log=$work/sim.log
    start_module_line "$work" "$sim" "$log" "$setpoint" "$maximum"
    link_com "$port_number" "$work/panel-end"
    (cd "$install_dir" && exec wine ./DriverPanel.exe) >"$work/panel.out" 2>&1 &
    panel_pid=$!
    pids+=("$panel_pid")
    export E2E_PORT=COM$port_number E2E_SETPOINT=$setpoint E2E_MAXIMUM=$maximum
    E2E_SIM_LOG=$(winepath -w "$log")
    export E2E_SIM_LOG
    wine "$driver" --gtest_color=no --gtest_filter='WithPort.StartsClosedWithThePortListed:WithPort.OpenAsksForTheConfigurationAndShowsIt:WithPort.PollsTemperatureThenPowerAndShowsBoth' \
        >"$work/e2e.log" 2>&1 || { cat "$work/e2e.log" >&2; fail "the installed panel's check"; }
    if import -window root "$work/screen.png" 2>/dev/null; then
        convert "$work/screen.png" -trim +repage "$work/installed-panel.png" 2>/dev/null || true
    fi
    # Closed as its close box does; it must end, so the uninstaller can remove it.
    wine taskkill /im DriverPanel.exe >/dev/null 2>&1 || true
    wait_for 30 bash -c "! kill -0 $panel_pid 2>/dev/null" || {
        fail "the installed panel did not end when closed"
        kill "$panel_pid" 2>/dev/null || true
    }
fi

if [[ -n $uninstaller ]]; then
    echo "--- uninstalling silently"
    # The uninstaller copies itself to the temporary folder and returns at once: wait for the
    # files to go, not for the process.
    wine "$uninstaller" /S >"$work/uninstall.log" 2>&1 || fail "the uninstaller exited with $?"
    gone() { [[ ! -e $install_dir && -z $(ours) ]]; }
    wait_for 60 gone || fail "left after uninstalling: $(ours)"
    [[ -z $(registry_value "$uninstall_key" UninstallString) ]] ||
        fail "the installed programs' entry is still there"
fi

if ((failures)); then
    echo "Windows setup test: $failures check(s) FAILED for $(basename "$setup") (logs in $work)" >&2
    exit 1
fi
echo "Windows setup test: $product $version installed silently, passed its check against the"
echo "simulator from the install folder, and was uninstalled without a trace."
