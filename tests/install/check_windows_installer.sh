#!/usr/bin/env bash
# The Windows installer as a user meets it, under Wine: builds MELO-Sound-Manager-*-setup.exe
# with CPack, installs it silently (/S), checks the installed files, the Start-menu entry and
# the file types in the registry, starts the installed window on a virtual display with the
# demo project as a double click on it does, presses F5 and compares the image with the golden
# one, and listens for its result sound in the sound server's null sink where scripts/test runs
# one; then uninstalls silently and checks that no program file, shortcut or registry key is left,
# while the settings file and the user's project stay.
#
# Usage: check_windows_installer.sh BUILD_DIR SOURCE_DIR  (WINEPREFIX and wine from the caller)
set -euo pipefail
build=$1
source=$2
wine=$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)

work=$(mktemp -d /tmp/melo-installer-XXXXXX)
pids=()
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver64)
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    # The check's Wine programs ran on a desktop bound to its virtual display, which is gone
    # now: every later program of the prefix would wait 10 to 20 s for that desktop. So the
    # Wine session ends with the check (it runs alone), and the next program starts a new one.
    "$wineserver" -k 2>/dev/null || true
    "$wineserver" -w 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "installer check: $*" >&2
    exit 1
}
# Runs a test command every 100 ms until it succeeds, for at most $1 seconds.
wait_for() {
    local seconds=$1 what=$2
    shift 2
    for _ in $(seq $((seconds * 10))); do
        "$@" && return 0
        sleep 0.1
    done
    fail "timed out waiting for $what"
}
# A Windows path of a file under Wine's drive Z: (the build machine's root).
windows_path() { echo "Z:${1//\//\\}"; }
reg_has() { "$wine" reg query "$1" ${2:+/v "$2"} >/dev/null 2>&1; }
reg_value() { "$wine" reg query "$1" /ve 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p'; }

# Wine picks its display driver once per desktop, when the first program starts on it, and every
# later program (the installed window too) uses the same: so every Wine program here runs on
# the virtual display, as a real window, not on the offscreen platform the GUI tests use.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" 2>/dev/null &
pids+=($!)
wait_for 10 "the virtual display" test -s "$work/display"
export DISPLAY=:$(cat "$work/display")
unset QT_QPA_PLATFORM WINEQT_QPA_PLATFORM
# Whether a program whose command line matches $1 runs in this check's Wine prefix.
runs_here() {
    local pid
    for pid in $(pgrep -f "$1" || true); do
        { tr '\0' '\n' <"/proc/$pid/environ"; } 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && return 0
    done
    return 1
}
# A desktop that a program before this check opened without a display must end first.
wait_for 30 "Wine's previous desktop to close" bash -c "$(declare -f runs_here); ! runs_here 'explorer\.exe'"

(cd "$build" && cpack -G NSIS -B "$work/package" >"$work/cpack.log" 2>&1) ||
    { cat "$work/cpack.log" >&2; fail "cpack -G NSIS failed"; }
setup=$(ls "$work"/package/MELO-Sound-Manager-*-setup.exe 2>/dev/null | head -n 1)
[ -n "$setup" ] || fail "no MELO-Sound-Manager-*-setup.exe"
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
[ "${setup##*/}" = "MELO-Sound-Manager-$version-setup.exe" ] || fail "installer named ${setup##*/}"

# Wine runs as an administrator: the installation is for all users, into Program Files.
drive_c=$WINEPREFIX/drive_c
program_dir="$drive_c/Program Files/MELO Sound-Manager"
"$wine" "$setup" /S || fail "the installer ended with status $?"
wait_for 60 "the installation" test -f "$program_dir/Uninstall.exe"
for f in melo-sound-manager.exe melo-dsu.exe ok.wav warn.wav nok.wav LIESMICH.txt; do
    [ -f "$program_dir/$f" ] || fail "not installed: $f"
done
start_menu="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/MELO Sound-Manager"
[ -f "$start_menu/MELO Sound-Manager.lnk" ] || fail "no Start-menu entry in $start_menu"
classes='HKLM\Software\Classes'
[ "$(reg_value "$classes\\.DSP")" = MELO.Projekt ] || fail ".DSP is not registered"
[ "$(reg_value "$classes\\.DSU")" = MELO.Image ] || fail ".DSU is not registered"
open_project=$(reg_value "$classes\\MELO.Projekt\\shell\\open\\command")
[ "$open_project" = '"C:\Program Files\MELO Sound-Manager\melo-sound-manager.exe" "%1"' ] ||
    fail "a project opens with: $open_project"
open_image=$(reg_value "$classes\\MELO.Image\\shell\\open\\command")
[ "$open_image" = '"C:\Program Files\MELO Sound-Manager\melo-sound-manager.exe" --image "%1"' ] ||
    fail "an image opens with: $open_image"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\MELO Sound-Manager'
reg_has "$uninstall_key" || fail "not in the installed programs"

# The installed window, started as a double click on the project starts it: F5 builds the demo.
demo="$work/Mein Projekt"
mkdir -p "$demo"
cp "$source"/examples/demo/* "$demo/"
# Where scripts/test runs a PulseAudio server with a null sink, the window's result sound must
# reach it: Qt Multimedia's Windows output, Wine's audio driver, PulseAudio.
heard=
if pactl info >/dev/null 2>&1; then
    parec -d @DEFAULT_MONITOR@ --latency-msec=5 --raw --format=s16le --rate=22050 --channels=1 \
        >"$work/heard.raw" &
    recorder=$!
    pids+=("$recorder")
    heard=$work/heard.raw
fi
command=${open_project//%1/$(windows_path "$demo/demo.DSP")}
eval "set -- $command"
"$wine" "$1" "$2" >"$work/window.log" 2>&1 &
window_pid=$!
pids+=("$window_pid")
window=
find_window() {
    window=$(xdotool search --onlyvisible --name '^MELO Sound-Manager' 2>/dev/null | head -n 1)
    [ -n "$window" ]
}
wait_for 60 "the main window" find_window
# The key goes in through XTEST to the focused window (Wine takes no synthetic key events).
xdotool windowfocus --sync "$window"
sleep 1
xdotool key F5
wait_for 30 "the image" test -s "$demo/demo.DSU"
sleep 0.5
cmp "$demo/demo.DSU" "$source/tests/data/golden/demo.DSU" || fail "demo.DSU differs from the golden image"
if [ -n "$heard" ]; then
    sleep 2
    kill "$recorder"
    peak=$(sox -t raw -r 22050 -e signed -b 16 -c 1 "$heard" -n stat 2>&1 |
        sed -n 's/^Maximum amplitude: *//p')
    awk -v p="${peak:-0}" 'BEGIN { exit !(p > 0.1) }' ||
        fail "the result sound did not reach the sound server (peak ${peak:-none})"
fi
# Closed as a user closes it (Wine turns Alt+F4 into the close command; destroying the X
# window would leave the program running without it).
xdotool windowfocus --sync "$window" key alt+F4
wait_for 20 "the window to close" bash -c "! kill -0 $window_pid 2>/dev/null"
[ -f "$program_dir/melo-sound-manager.INI" ] || fail "no settings file beside the program (Wine lets it write there)"

# The uninstaller runs a copy of itself from the temporary folder and returns at once.
"$wine" "$program_dir/Uninstall.exe" /S || fail "the uninstaller ended with status $?"
wait_for 60 "the uninstallation" bash -c "! test -e '$program_dir/Uninstall.exe'"
wait_for 10 "the program files to go" bash -c "! test -e '$program_dir/melo-sound-manager.exe'"
# (The copy runs with _?=the installation folder, as NSIS starts it.)
wait_for 30 "the uninstaller to end" bash -c "$(declare -f runs_here); ! runs_here ' _\\?='"
left=$(cd "$program_dir" && ls -A | grep -vx 'melo-sound-manager.INI' || true)
[ -z "$left" ] || fail "left behind: $left"
[ -f "$program_dir/melo-sound-manager.INI" ] || fail "the settings file was removed"
[ -f "$demo/demo.DSP" ] && [ -f "$demo/demo.DSU" ] || fail "the user's project was touched"
[ ! -e "$start_menu" ] || fail "the Start-menu folder is left"
for key in "$uninstall_key" "$classes\\MELO.Projekt" "$classes\\MELO.Image" "$classes\\.DSP" \
    "$classes\\.DSU"; do
    ! reg_has "$key" || fail "registry key left: $key"
done
# (Wine's reg crashes on a query of this missing key: its parent's list tells instead.)
! "$wine" reg query 'HKLM\Software' 2>/dev/null | tr -d '\r' | grep -qix 'HKEY_LOCAL_MACHINE\\Software\\MELO' ||
    fail "registry key left: HKLM\\Software\\MELO"
echo "installer check: passed (${setup##*/}, $(stat -c %s "$setup") bytes)" >&2
