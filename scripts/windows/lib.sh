# Shell functions shared by scripts/windows-deps and its recipes (sourced, never run).
#
# A "set" is a folder beside this file (audio/, later qt/ ...) holding one recipe per Debian
# source package, named NN-package.sh and built in that order. Each set is built into a prefix
# of its own, static libraries for x86_64-w64-mingw32, under
#   ${XDG_CACHE_HOME:-$HOME/.cache}/melo/windows/<set>-<key>
# where <key> hashes this file, the driver, the set's recipes, the cross compiler's version and
# the exact Debian source packages (.dsc name and checksum). A prefix exists under that name
# only when every recipe of the set was built and installed: the build goes into a temporary
# folder that is renamed into place at the end. Installed pkg-config files locate the prefix by
# their own position (${pcfiledir}), so the rename needs no rewriting.
#
# A set can build on others: a file "builds-on" in its folder names them, one a line. They are
# built first (each into its own prefix, so a failure in this set keeps them), this set's build
# searches their prefixes after its own, and their keys are part of its key: a change to this
# set's recipes builds this set only, a change below it builds both.
#
# A recipe defines:
#   source_package   the Debian source package (apt-get source NAME)
#   library          the name the third-party notice gives it
#   licence          its licence, as an SPDX expression
#   melo_build       a function run in the unpacked source folder; it builds and installs into
#                    "$PREFIX" with melo_cmake, melo_configure or the variables below.
# Variables a recipe can use: PREFIX, MELO_FINAL_PREFIX (the folder PREFIX becomes when the set
# is done), MELO_BASE_PREFIXES (the prefixes of the sets it builds on, separated by ":"),
# MELO_HOST, MELO_JOBS, MELO_TOOLCHAIN (a CMake toolchain file for the cross compiler that
# searches PREFIX and the base prefixes), and the exported CC, CXX, AR, RANLIB, CFLAGS,
# CXXFLAGS, PKG_CONFIG_LIBDIR.

MELO_HOST=x86_64-w64-mingw32
MELO_WINDOWS_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
MELO_WINDOWS_CACHE=${XDG_CACHE_HOME:-$HOME/.cache}/melo/windows
MELO_JOBS=$(nproc 2>/dev/null || echo 2)

melo_say() { echo "windows-deps: $*" >&2; }
melo_die() {
  melo_say "$*"
  exit 1
}

# Runs a command as root: directly when we are root, else through sudo.
melo_as_root() {
  if [ "$(id -u)" -eq 0 ]; then
    "$@"
  elif command -v sudo >/dev/null 2>&1; then
    sudo "$@"
  else
    melo_die "needs root or sudo for: $*"
  fi
}

# apt-get with a wait for another process's apt or dpkg lock instead of failing.
melo_apt_get() {
  local try errors
  errors=$(mktemp)
  for try in $(seq 60); do
    if melo_as_root apt-get -o DPkg::Lock::Timeout=600 "$@" 2>"$errors"; then
      rm -f "$errors"
      return 0
    fi
    grep -qi 'lock' "$errors" || break
    melo_say "apt is busy in another process, waiting (try $try)"
    sleep 10
  done
  cat "$errors" >&2
  rm -f "$errors"
  return 1
}

# The deb-src twins of the machine's Debian entries: deb822 stanzas of *.sources files with
# "Types: deb" and one-line "deb ..." entries of *.list files, each with the same URIs, suites
# and components. Only entries whose URIs name debian are taken (third-party repositories may
# serve no sources and would break apt-get update).
melo_deb_src_stanzas() {
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    # Stanzas are separated by blank lines; comments are dropped.
    awk 'BEGIN { RS = ""; FS = "\n" }
      {
        types = ""; uris = ""; out = ""
        for (i = 1; i <= NF; i++) {
          line = $i
          if (line ~ /^[ \t]*#/) continue
          if (tolower(line) ~ /^types:/) { types = line; continue }
          if (tolower(line) ~ /^uris:/) uris = line
          out = out line "\n"
        }
        if (types ~ /[ \t]deb([ \t]|$)/ && types !~ /deb-src/ && uris ~ /debian/)
          printf "Types: deb-src\n%s\n", out
      }' "$f"
  done
}
melo_deb_src_lines() {
  local f
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    sed -n -E 's/^[[:space:]]*deb([[:space:]]+.*debian.*)$/deb-src\1/p' "$f"
  done
}

# Makes `apt-get source` work: when apt knows no source package yet, adds the deb-src twins of
# the machine's own Debian entries in files of their own and updates the package lists.
melo_ensure_deb_src() {
  local probe=$1
  if apt-cache showsrc --only-source "$probe" 2>/dev/null | grep -q '^Package:'; then
    return 0
  fi
  local stanzas lines
  stanzas=$(melo_deb_src_stanzas)
  lines=$(melo_deb_src_lines)
  if [ -z "$stanzas" ] && [ -z "$lines" ]; then
    melo_die "no Debian entry in /etc/apt to take the deb-src entry from; add one for apt-get source"
  fi
  if [ -n "$stanzas" ]; then
    melo_say "adding deb-src for the machine's Debian sources: /etc/apt/sources.list.d/melo-deb-src.sources"
    printf '# Added by MELO scripts/windows-deps: the source packages of the Debian entries above,\n# for building the Windows libraries.\n%s\n' \
      "$stanzas" | melo_as_root tee /etc/apt/sources.list.d/melo-deb-src.sources >/dev/null
  fi
  if [ -n "$lines" ]; then
    melo_say "adding deb-src for the machine's Debian sources: /etc/apt/sources.list.d/melo-deb-src.list"
    printf '# Added by MELO scripts/windows-deps: the source packages of the Debian entries,\n# for building the Windows libraries.\n%s\n' \
      "$lines" | melo_as_root tee /etc/apt/sources.list.d/melo-deb-src.list >/dev/null
  fi
  melo_say "updating the package lists"
  melo_apt_get update -qq || melo_die "apt-get update failed"
  apt-cache showsrc --only-source "$probe" 2>/dev/null | grep -q '^Package:' ||
    melo_die "apt serves no source package $probe even with deb-src entries"
}

# The recipe files of a set, in build order.
melo_recipes() {
  local set=$1
  ls "$MELO_WINDOWS_DIR/$set"/[0-9][0-9]-*.sh 2>/dev/null | LC_ALL=C sort
}

# The sets this folder holds: every folder with at least one recipe.
melo_all_sets() {
  local d
  for d in "$MELO_WINDOWS_DIR"/*/; do
    d=${d%/}
    [ -n "$(melo_recipes "${d##*/}")" ] && echo "${d##*/}"
  done
}

# The sets a set builds on: the names in its folder's builds-on file, one a line.
melo_set_bases() {
  local file="$MELO_WINDOWS_DIR/$1/builds-on"
  [ -f "$file" ] || return 0
  sed -e 's/#.*//' -e 's/[[:space:]]//g' "$file" | grep -v '^$' || true
}

# Prints one recipe's variable (source_package, library, licence) without running its build.
melo_recipe_value() {
  (
    # shellcheck disable=SC1090
    source "$1"
    eval "printf '%s\n' \"\${$2}\""
  )
}

# What apt-get source would fetch for a set: one line per source package, "<dsc name> <sha256>"
# (the .dsc names the version and holds the checksums of every file of the package).
melo_source_identity() {
  local set=$1 packages=() r
  for r in $(melo_recipes "$set"); do
    packages+=("$(melo_recipe_value "$r" source_package)")
  done
  melo_print_uris "${packages[@]}" | awk '$2 ~ /\.dsc$/ { print $2, $4 }'
}

# What apt-get source would download for the packages: "'URI' name size checksum" lines. Runs in
# an empty folder, since apt leaves out what the current folder already holds.
melo_print_uris() {
  local empty
  empty=$(mktemp -d)
  (cd "$empty" && apt-get source --only-source --print-uris "$@" 2>/dev/null) || true
  rmdir "$empty"
}

# The key of a set's prefix: this file, the driver, the set's recipes, the cross compiler, the
# Debian source packages and the keys of the sets it builds on. A change to any of them builds
# the set again.
melo_set_key() {
  local set=$1 identity base bases=""
  identity=$(melo_source_identity "$set")
  [ -n "$identity" ] || return 1
  for base in $(melo_set_bases "$set"); do
    bases+="builds on $base $(melo_set_key "$base")"$'\n' || return 1
  done
  {
    cat "$MELO_WINDOWS_DIR/lib.sh" "$MELO_WINDOWS_DIR/../windows-deps"
    local r
    for r in $(melo_recipes "$set"); do
      echo "${r##*/}"
      cat "$r"
    done
    dpkg-query -W -f '${Package} ${Version}\n' g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev 2>/dev/null
    echo "$identity"
    printf '%s' "$bases"
  } | sha256sum | cut -c1-16
}

# The finished prefix of a set, whether or not it exists yet.
melo_set_prefix() {
  local key
  key=$(melo_set_key "$1") || return 1
  echo "$MELO_WINDOWS_CACHE/$1-$key"
}

# Downloads a source package into the shared download folder (kept between builds, so a recipe
# change does not fetch again) and unpacks it with Debian's patches applied into folder $2.
melo_unpack_source() {
  local package=$1 dest=$2 downloads="$MELO_WINDOWS_CACHE/downloads" dsc
  mkdir -p "$downloads"
  dsc=$(melo_print_uris "$package" | awk '$2 ~ /\.dsc$/ { print $2 }')
  [ -n "$dsc" ] || melo_die "apt-get source knows no source package $package"
  # A piece the mirror does not serve makes apt-get fail; what it means is judged below.
  (cd "$downloads" && apt-get source --only-source --download-only -qq "$package" >/dev/null 2>&1) || true
  [ -f "$downloads/$dsc" ] || melo_die "apt-get source $package served no $dsc"
  melo_check_source_files "$downloads" "$dsc"
  if ! dpkg-source --no-check -x "$downloads/$dsc" "$dest" >/dev/null 2>&1; then
    melo_unpack_by_hand "$downloads" "$dsc" "$dest"
  fi
}

# Every file the .dsc lists that was downloaded must match its checksum; a missing upstream
# signature is harmless, a missing upstream tarball is fatal.
melo_check_source_files() {
  local dir=$1 dsc=$2 sum size name
  while read -r sum size name; do
    if [ ! -f "$dir/$name" ]; then
      case $name in
        *.orig.tar.*.asc) melo_say "$name (upstream signature) was not served; not needed to build" ;;
        *.debian.tar.*) melo_say "$name was not served: building the upstream source without Debian's packaging" ;;
        *) melo_die "$name of $dsc was not served" ;;
      esac
      continue
    fi
    echo "$sum  $dir/$name" | sha256sum --quiet -c - || melo_die "$name does not match its checksum in $dsc"
  done < <(awk '/^Checksums-Sha256:/ { on = 1; next } /^[^ ]/ { on = 0 } on && NF == 3 { print }' "$dir/$dsc")
}

# dpkg-source refuses a package with a missing piece: unpack the upstream tarball, and Debian's
# packaging with its patches in series order when that was served.
melo_unpack_by_hand() {
  local dir=$1 dsc=$2 dest=$3 orig debian patch
  orig=$(awk '/^Checksums-Sha256:/ { on = 1; next } /^[^ ]/ { on = 0 } on && $3 ~ /\.orig\.tar\.[a-z0-9]+$/ { print $3 }' "$dir/$dsc")
  [ -f "$dir/$orig" ] || melo_die "the upstream tarball of $dsc was not served"
  mkdir -p "$dest"
  tar -xf "$dir/$orig" -C "$dest" --strip-components=1
  debian=$(ls "$dir/${dsc%.dsc}".debian.tar.* 2>/dev/null | head -n1 || true)
  if [ -n "$debian" ]; then
    tar -xf "$debian" -C "$dest"
    if [ -f "$dest/debian/patches/series" ]; then
      while read -r patch _; do
        case $patch in '' | '#'*) continue ;; esac
        patch -d "$dest" -p1 -s <"$dest/debian/patches/$patch" || melo_die "Debian patch $patch does not apply"
      done <"$dest/debian/patches/series"
    fi
  fi
}

# The build environment of the recipes: the mingw-w64 cross compiler with POSIX threads, static
# libraries only, pkg-config and CMake looking into the prefix being built and the prefixes of
# the sets it builds on, and nowhere else. Optimisation as Debian builds its own packages
# (-O2), so the Windows libraries compute what the Linux ones do.
melo_build_environment() {
  local prefixes=("$PREFIX") base
  local -a bases
  IFS=: read -r -a bases <<<"${MELO_BASE_PREFIXES:-}"
  for base in "${bases[@]}"; do
    [ -n "$base" ] && prefixes+=("$base")
  done
  export CC=$MELO_HOST-gcc-posix CXX=$MELO_HOST-g++-posix
  export AR=$MELO_HOST-ar RANLIB=$MELO_HOST-ranlib STRIP=$MELO_HOST-strip
  export RC=$MELO_HOST-windres WINDRES=$MELO_HOST-windres
  export CFLAGS="-O2" CXXFLAGS="-O2"
  CPPFLAGS=$(printf -- '-I%s/include ' "${prefixes[@]}")
  LDFLAGS=$(printf -- '-L%s/lib ' "${prefixes[@]}")
  PKG_CONFIG_LIBDIR=$(printf '%s/lib/pkgconfig:' "${prefixes[@]}")
  export CPPFLAGS=${CPPFLAGS% } LDFLAGS=${LDFLAGS% } PKG_CONFIG_LIBDIR=${PKG_CONFIG_LIBDIR%:}
  export PKG_CONFIG_PATH=""
  unset PKG_CONFIG_SYSROOT_DIR
  # CMake's list of them (the search order: the set's own prefix first).
  MELO_CMAKE_PREFIXES=$(printf '%s;' "${prefixes[@]}")
  MELO_CMAKE_PREFIXES=${MELO_CMAKE_PREFIXES%;}
  MELO_TOOLCHAIN="$MELO_WORK/toolchain.cmake"
  cat >"$MELO_TOOLCHAIN" <<TOOLCHAIN
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER $CC)
set(CMAKE_CXX_COMPILER $CXX)
set(CMAKE_RC_COMPILER $RC)
set(CMAKE_FIND_ROOT_PATH "$MELO_CMAKE_PREFIXES;/usr/$MELO_HOST")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
TOOLCHAIN
}

# Configures, builds and installs the CMake project in the current folder into PREFIX, static.
# The install folders are named, since some projects take GNUInstallDirs on Unix only and
# would install into / when cross-building. With MELO_INSTALL_PREFIX set, the project is
# configured for that folder instead (see melo_install).
melo_cmake() {
  cmake -S . -B _melo_build -G Ninja --toolchain "$MELO_TOOLCHAIN" \
    -DCMAKE_BUILD_TYPE=None -DCMAKE_C_FLAGS="$CFLAGS" -DCMAKE_CXX_FLAGS="$CXXFLAGS" \
    -DCMAKE_INSTALL_PREFIX="${MELO_INSTALL_PREFIX:-$PREFIX}" -DCMAKE_INSTALL_LIBDIR=lib \
    -DCMAKE_INSTALL_BINDIR=bin -DCMAKE_INSTALL_INCLUDEDIR=include -DCMAKE_INSTALL_DATAROOTDIR=share \
    -DCMAKE_PREFIX_PATH="$MELO_CMAKE_PREFIXES" -DBUILD_SHARED_LIBS=OFF -DBUILD_TESTING=OFF \
    "$@" >_melo_configure.log 2>&1 ||
    melo_fail_log _melo_configure.log _melo_build/CMakeFiles/CMakeError.log
  cmake --build _melo_build -j "$MELO_JOBS" >_melo_build.log 2>&1 || melo_fail_log _melo_build.log
  melo_install cmake --install _melo_build
}

# Configures, builds and installs the autotools project in the current folder into PREFIX,
# static; arguments go to configure.
melo_configure() {
  ./configure --host="$MELO_HOST" --prefix="$PREFIX" --libdir="$PREFIX/lib" \
    --enable-static --disable-shared --disable-dependency-tracking "$@" >_melo_configure.log 2>&1 ||
    melo_fail_log _melo_configure.log config.log
  make -j "$MELO_JOBS" >_melo_build.log 2>&1 || melo_fail_log _melo_build.log
  melo_install make install
}

# Runs an install command into a staging folder (DESTDIR) and moves what it installed into
# PREFIX; anything it would have put elsewhere stops the build. A project configured for the
# set's final folder (MELO_INSTALL_PREFIX=$MELO_FINAL_PREFIX: its installed files name the
# folder they were configured for, as Qt's CMake files do) installs under that name in the
# staging folder, and lands in PREFIX all the same.
melo_install() {
  local stage="$MELO_WORK/stage" outside at=${MELO_INSTALL_PREFIX:-$PREFIX}
  rm -rf "$stage"
  DESTDIR="$stage" "$@" >_melo_install.log 2>&1 || melo_fail_log _melo_install.log
  outside=$(cd "$stage" && find . \( -type f -o -type l \) | sed 's|^\.||' | grep -vF "$at/" || true)
  [ -z "$outside" ] || melo_die "$MELO_RECIPE installs outside the prefix: $outside"
  cp -a "$stage$at/." "$PREFIX/"
  rm -rf "$stage"
}

# Configures, builds and installs a Qt module (a CMake project of Qt's source) into PREFIX:
# static and release, its tools (moc, rcc, uic ...) the build machine's Qt of the same version
# in /usr, no examples, tests or benchmarks; configured for the set's final folder, since Qt's
# CMake files name the folder Qt was configured for. Arguments go to CMake. The longest builds
# of all, at normal priority while the rest of the machine's work may wait: twice as many
# compilers as cores keep the cores busy while others compete for them; ccache keeps the
# objects for a rebuild after a recipe change, with paths taken relative to the cache folder
# (Qt compiles with precompiled headers, which ccache caches only with this sloppiness).
melo_qt_module() {
  local launcher=()
  if command -v ccache >/dev/null 2>&1; then
    export CCACHE_BASEDIR=$MELO_WINDOWS_CACHE
    export CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
  MELO_JOBS=$((MELO_JOBS * 2)) MELO_INSTALL_PREFIX=$MELO_FINAL_PREFIX melo_cmake "${launcher[@]}" \
    -DCMAKE_BUILD_TYPE=Release \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF "$@"
}

# Shows the end of a failed step's log and stops the build.
melo_fail_log() {
  local f
  for f in "$@"; do
    [ -f "$f" ] || continue
    echo "---- $PWD/$f (end) ----" >&2
    tail -n 40 "$f" >&2
  done
  melo_die "building $MELO_RECIPE failed"
}

# After each install: libtool archives go (static linking needs none, and they hold absolute
# paths); pkg-config files find the prefix from where they lie, so the folder can be renamed
# into place; and, the prefix holding static libraries only, their private libraries and
# requirements become public ones, so a plain `pkg-config --libs` (CMake's IMPORTED_TARGET)
# names everything a static link needs.
melo_relocate() {
  find "$PREFIX" -name '*.la' -delete
  local pc
  for pc in "$PREFIX"/lib/pkgconfig/*.pc "$PREFIX"/share/pkgconfig/*.pc; do
    [ -f "$pc" ] || continue
    sed -i -E "s|^prefix=.*$|prefix=\${pcfiledir}/../..|; s|$PREFIX|\${prefix}|g" "$pc"
    awk '
      /^Libs:/ { libs = $0; next }
      /^Libs\.private:/ { sub(/^Libs\.private:/, ""); libs_private = libs_private $0; next }
      /^Requires:/ { sub(/^Requires:/, ""); requires = requires $0; next }
      /^Requires\.private:/ { sub(/^Requires\.private:/, ""); requires = requires " " $0; next }
      { print }
      END {
        if (libs != "") print libs libs_private
        gsub(/^[ \t,]+|[ \t,]+$/, "", requires)
        if (requires != "") print "Requires: " requires
      }' "$pc" >"$pc.new"
    mv "$pc.new" "$pc"
  done
}

# Fails when a text file of the prefix still names the temporary folder's path.
melo_check_relocatable() {
  local stale
  stale=$(grep -rlI --exclude-dir=doc -F "$PREFIX" "$PREFIX" || true)
  [ -z "$stale" ] || melo_die "these files name the temporary build folder: $stale"
}

# Prints a recipe's licence texts from its unpacked source folder: each entry of licence_files
# is a file printed whole, or "file#comment" for a source file whose leading comment holds the
# licence of code the library embeds.
melo_licence_text() {
  local entry file
  for entry in $licence_files; do
    file=${entry%#comment}
    [ -f "$file" ] || melo_die "$MELO_RECIPE: licence file $file is missing"
    printf -- '-- %s --\n\n' "$file"
    if [ "$entry" != "$file" ]; then
      sed -n '1,/\*\//p' "$file" | tr -d '\r'
    else
      tr -d '\r' <"$file"
    fi
    printf '\n'
  done
}
