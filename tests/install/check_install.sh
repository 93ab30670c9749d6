#!/usr/bin/env bash
# Installs a build into a temporary DESTDIR under /usr and checks the tree as a user's machine
# sees it: every file in its place, the desktop entry, AppStream metainfo and MIME types pass
# the freedesktop tools, the man pages render without warnings, the package, the programs and
# the metadata carry one version, the installed melo-dsu runs. Then the installed window is
# started on a virtual display: without a project its folders start in the user's documents
# folder; the way the desktop entry starts it, it opens the project it is given, builds the image, plays its result sound from the
# data directory into the sound server's null sink, keeps its settings in the per-user
# directory (not in its bin directory, though root may write there) and starts again from them.
# The window part needs the PulseAudio server with a null sink that scripts/test starts; without
# one it is skipped (exit 77), unless MELO_REQUIRE_AUDIO is set.
#
# Usage: check_install.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source=$2

work=$(mktemp -d /tmp/melo-install-XXXXXX)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    chmod -R u+w "$work" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "install check: $*" >&2
    [ ! -s "$work/window.log" ] || sed 's/^/  window: /' "$work/window.log" >&2
    exit 1
}
# Runs a test command every 50 ms until it succeeds, for at most 10 s.
wait_for() {
    local what=$1
    shift
    for _ in $(seq 200); do
        "$@" && return 0
        sleep 0.05
    done
    fail "timed out waiting for $what"
}

id=de.melo.soundmanager
root=$work/root
usr=$root/usr
DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null

for f in bin/melo-sound-manager bin/melo-dsu share/melo-sound-manager/{ok,warn,nok}.wav \
    share/applications/$id.desktop share/metainfo/$id.metainfo.xml share/mime/packages/$id.xml \
    share/icons/hicolor/scalable/apps/$id.svg share/man/man1/{melo-dsu,melo-sound-manager}.1.gz \
    share/doc/melo-sound-manager/{COPYING,THIRD-PARTY.txt}; do
    [ -f "$usr/$f" ] || fail "not installed: $f"
done
for size in 16 22 24 32 48 64 128 256; do
    png=$usr/share/icons/hicolor/${size}x${size}/apps/$id.png
    file -b "$png" | grep -q "^PNG image data, $size x $size," || fail "$png is no $size px PNG"
done

# The freedesktop files.
out=$(desktop-file-validate "$usr/share/applications/$id.desktop" 2>&1) || fail "$out"
[ -z "$out" ] || fail "desktop-file-validate: $out"
out=$(appstreamcli validate --no-net "$usr/share/metainfo/$id.metainfo.xml" 2>&1) || fail "$out"
xmllint --noout "$usr/share/mime/packages/$id.xml"
# The MIME types as a file manager sees them: an image by its name, a project by its [WAVs]
# section (another program's .dsp is no project).
XDG_DATA_DIRS=$usr/share update-mime-database "$usr/share/mime"
demo="$work/Mein Projekt"
mkdir -p "$demo"
cp "$source"/examples/demo/* "$demo/"
cp "$demo/demo.DSP" "$work/projekt-ohne-endung"
printf '# Microsoft Developer Studio Project File - Name="werkzeug" - Package Owner=<4>\r\n' >"$work/werkzeug.dsp"
printf 'image' >"$work/Bild.dsu"
mime_of() {
    XDG_DATA_HOME=$work/none XDG_DATA_DIRS=$usr/share:/usr/share \
        gio info -a standard::content-type "$1" | sed -n 's/^ *standard::content-type: //p'
}
[ "$(mime_of "$demo/demo.DSP")" = application/x-melo-project ] || fail "demo.DSP: $(mime_of "$demo/demo.DSP")"
[ "$(mime_of "$work/projekt-ohne-endung")" = application/x-melo-project ] || fail "no magic match"
[ "$(mime_of "$work/werkzeug.dsp")" != application/x-melo-project ] || fail "another program's .dsp taken over"
[ "$(mime_of "$work/Bild.dsu")" = application/x-melo-image ] || fail "Bild.dsu: $(mime_of "$work/Bild.dsu")"

for page in melo-dsu melo-sound-manager; do
    out=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings=all -E UTF-8 -l \
        "$usr/share/man/man1/$page.1.gz" 2>&1 >"$work/$page.txt") || fail "man $page: $out"
    [ -z "$out" ] || fail "man $page: $out"
    grep -q "^NAME" "$work/$page.txt" || fail "man $page renders no NAME section"
done

# The installed executables: versions without a display, and melo-dsu builds the demo image.
version='V[0-9]\.[0-9][0-9]\.[0-9][0-9][0-9][0-9]'
"$usr/bin/melo-dsu" --version | grep -qx "melo-dsu $version" || fail "melo-dsu --version"
# One version number: what the programs show is the package's, the AppStream release's and the
# man pages' version.
shown=$("$usr/bin/melo-dsu" --version | sed 's/^melo-dsu V//')
grep -q "<release version=\"$shown\"" "$usr/share/metainfo/$id.metainfo.xml" || fail "metainfo is not $shown"
zcat "$usr/share/man/man1/melo-sound-manager.1.gz" | grep -q "MELO Sound-Manager $shown" || fail "man page is not $shown"
grep -q "CPACK_PACKAGE_VERSION \"$shown\"" "$build/CPackConfig.cmake" || fail "package is not $shown"
for option in --version --help; do
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$usr/bin/melo-sound-manager" $option \
        >"$work/answer" || fail "melo-sound-manager $option"
done
grep -qx "Aufruf: melo-sound-manager \[PROJEKT.DSP\]" "$work/answer" || fail "melo-sound-manager --help"
"$usr/bin/melo-dsu" build "$demo/demo.DSP" >"$work/build.txt" || fail "melo-dsu build"
grep -qx "Ergebnis = OK" "$work/build.txt" || fail "melo-dsu build: no Ergebnis = OK"
grep -qx "noch 318,4 s frei bei 13021 Hz" "$work/build.txt" || fail "melo-dsu build: no sound budget"
rm "$demo/demo.DSU"

# The window. Nothing but the data directory holds the result sounds it is to find.
if ! pactl info >/dev/null 2>&1; then
    [ -z "${MELO_REQUIRE_AUDIO:-}" ] || fail "no sound server: scripts/test starts PulseAudio with a null sink"
    echo "install check: no sound server, window part skipped (scripts/test starts one)" >&2
    exit 77
fi
prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")
[ ! -e "$prefix/share/melo-sound-manager/ok.wav" ] ||
    fail "$prefix holds result sounds, so it cannot be told which ones the window finds"
! ls "$usr"/bin/*.wav >/dev/null 2>&1 || fail "result sounds beside the installed executable"

export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/none QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY
settings=$XDG_CONFIG_HOME/melo-sound-manager/melo-sound-manager.INI
# In a sanitizer build: the session bus library that Qt's X11 platform loads keeps a buffer
# to the end; any other leak still fails the run.
printf 'leak:libdbus-1.so\n' >"$work/lsan.supp"
export LSAN_OPTIONS="suppressions=$work/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
# Without -noreset the server resets each time its last client leaves, and a window started
# in that moment cannot connect.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" 2>/dev/null &
pids+=($!)
wait_for "the virtual display" test -s "$work/display"
export DISPLAY=:$(cat "$work/display")

# The command of the installed desktop entry, its %f replaced by the project path.
read -ra exec_words <<<"$(sed -n 's/^Exec=//p' "$usr/share/applications/$id.desktop")"
start_window() {
    local words=("${exec_words[@]/#%f/$1}")
    PATH=$usr/bin:$PATH "${words[@]}" >>"$work/window.log" 2>&1 &
    window_pid=$!
    pids+=("$window_pid")
}
window() {
    xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1
}
has_window() {
    [ -n "$(window "$1")" ]
}
# A click at a control's centre in window pixels (the window's geometry table, twips / 15).
click() {
    xdotool mousemove --window "$(window '^MELO Sound-Manager')" "$1" "$2" click 1
}
build_image() { click 44 296; } # "DSU-File erzeugen"
end_window() {                  # "Ende", then the program's own end
    click 44 340
    wait_for "the window to close" bash -c "! kill -0 $window_pid 2>/dev/null"
    wait "$window_pid" || fail "the window ended with status $?"
}

# The very first start, from the menu, without a project: the folders start in the user's
# documents folder, not in the program's bin directory.
mkdir -p "$work/home/Documents"
HOME=$work/home PATH=$usr/bin:$PATH melo-sound-manager >>"$work/window.log" 2>&1 &
window_pid=$!
pids+=("$window_pid")
wait_for "the main window" has_window '^MELO Sound-Manager'
end_window
grep -qF "projfiledir=$work/home/Documents"$'\r' "$settings" || fail "first start not in the documents folder"
rm "$settings"

# First start with a project, as a double click on the project does it.
parec -d @DEFAULT_MONITOR@ --latency-msec=5 --raw --format=s16le --rate=22050 --channels=1 \
    >"$work/heard.raw" &
recorder=$!
pids+=("$recorder")
start_window "$demo/demo.DSP"
wait_for "the main window" has_window '^MELO Sound-Manager'
sleep 2.5 # the null sink's monitor needs a moment before it records in full
build_image
wait_for "the image" test -s "$demo/demo.DSU"
sleep 1.5
kill "$recorder"
peak=$(sox -t raw -r 22050 -e signed -b 16 -c 1 "$work/heard.raw" -n stat 2>&1 |
    sed -n 's/^Maximum amplitude: *//p')
awk -v p="${peak:-0}" 'BEGIN { exit !(p > 0.1) }' || fail "no result sound heard (peak ${peak:-none})"
end_window
[ ! -e "$usr/bin/melo-sound-manager.INI" ] || fail "settings written beside the executable"
grep -q $'^projname=demo.DSP\r$' "$settings" || fail "settings not stored in $settings"
grep -qF "projfiledir=$demo"$'\r' "$settings" || fail "project directory not stored"

# Second start, with a project that does not exist: a message, then the stored project.
rm "$demo/demo.DSU"
start_window "$work/fehlt.DSP"
wait_for "the message" has_window '^Fehler beim Projekt-Laden$'
xdotool key Return
wait_for "the message to close" bash -c "! xdotool search --onlyvisible --name '^Fehler beim Projekt-Laden$' >/dev/null"
build_image
wait_for "the image of the stored project" test -s "$demo/demo.DSU"
end_window
grep -q $'^projname=demo.DSP\r$' "$settings" || fail "the stored project was replaced"
echo "install check: passed" >&2
