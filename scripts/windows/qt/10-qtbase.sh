# Qt's base for the window: Core, Gui, Widgets, Network (Qt Multimedia needs it), Test, the
# Windows and offscreen platform plugins, the Windows style, PNG and ICO images. Static and
# release, with the zlib, libpng, FreeType and PCRE2 that Qt's source bundles, so the
# executables import Windows system DLLs only. No HarfBuzz: the window's texts need no complex
# script shaping, and it is one of the largest parts of the build. moc, rcc and uic are
# Debian's Qt 6.4.2 in /usr. The longest build of all (about 1,100 files): ccache keeps its
# objects for a rebuild after a recipe change, with paths taken relative to the cache folder.
source_package=qt6-base
library="Qt Base (Core, Gui, Widgets, Network, Test; with Qt's bundled zlib, libpng, FreeType, PCRE2, double-conversion, md4c, TinyCBOR)"
licence="LGPL-3.0-only OR GPL-2.0-only OR GPL-3.0-only"
licence_files="LICENSES/LGPL-3.0-only.txt LICENSES/GPL-3.0-only.txt src/3rdparty/zlib/LICENSE
  src/3rdparty/libpng/LICENSE src/3rdparty/freetype/LICENSE.txt src/3rdparty/freetype/docs/FTL.TXT
  src/3rdparty/pcre2/LICENCE src/3rdparty/double-conversion/LICENSE
  src/3rdparty/md4c/LICENSE.md src/3rdparty/tinycbor/LICENSE"
melo_build() {
  # The long pole of a first build, at normal priority while the rest of the machine's work may
  # wait: more compilers than cores keep the cores busy while others compete for them.
  MELO_JOBS=$((MELO_JOBS * 2))
  local launcher=()
  if command -v ccache >/dev/null 2>&1; then
    # Qt compiles with precompiled headers, which ccache caches only with this sloppiness.
    export CCACHE_BASEDIR=$MELO_WINDOWS_CACHE CCACHE_SLOPPINESS=pch_defines,time_macros
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
  # Debian's source leaves out the tablet header wintab.h, hence no tablet events. OpenGL
  # stays, loaded at run time: the 6.4.2 Windows platform plugin does not compile without it.
  melo_cmake "${launcher[@]}" -DCMAKE_BUILD_TYPE=Release \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
    -DINPUT_opengl=dynamic -DFEATURE_tabletevent=OFF \
    -DFEATURE_sql=OFF -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF \
    -DFEATURE_direct2d=OFF -DFEATURE_vulkan=OFF -DFEATURE_openssl=OFF -DFEATURE_zstd=OFF \
    -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF \
    -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_pcre2=OFF \
    -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF -DFEATURE_harfbuzz=OFF
}
