# Qt Multimedia for the window's sound: its audio output through Windows Media Foundation; no
# FFmpeg, no GStreamer, no spatial audio. Built against the Qt base installed into the prefix
# just before, since Qt's CMake files name the folder they were installed into.
source_package=qt6-multimedia
library="Qt Multimedia"
licence="LGPL-3.0-only OR GPL-2.0-only OR GPL-3.0-only"
licence_files="LICENSES/LGPL-3.0-only.txt LICENSES/GPL-3.0-only.txt"
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
  # The video shaders need Qt Shader Tools (its qsb compiler), which Debian's host Qt here
  # lacks and the window does not need: it plays sound only. Their two build steps become
  # no-ops, so video frames cannot be drawn through the GPU in this build.
  sed -i -e '1i function(melo_no_video_shaders)\nendfunction()' \
    -e '/^find_package(Qt6 COMPONENTS ShaderTools)/d' \
    -e 's/^qt_internal_add_shaders(/melo_no_video_shaders(/' src/multimedia/CMakeLists.txt
  grep -q '^qt_internal_add_shaders(' src/multimedia/CMakeLists.txt &&
    melo_die "Qt Multimedia's video shaders are still built"
  # CMake looks for the Media Foundation libraries by their Windows names (Mf, Mfplat ...),
  # which a case-sensitive file system does not match: they are named here.
  local lib=/usr/$MELO_HOST/lib
  melo_cmake "${launcher[@]}" -DCMAKE_BUILD_TYPE=Release \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
    -DFEATURE_ffmpeg=OFF -DFEATURE_gstreamer=OFF -DFEATURE_spatialaudio=OFF \
    -DFEATURE_spatialaudio_quick3d=OFF \
    -DWMF_MF_LIBRARY=$lib/libmf.a -DWMF_MFUUID_LIBRARY=$lib/libmfuuid.a \
    -DWMF_MFPLAT_LIBRARY=$lib/libmfplat.a -DWMF_MFCORE_LIBRARY=$lib/libmfcore.a \
    -DWMF_PROPSYS_LIBRARY=$lib/libpropsys.a
  grep -q 'Windows Media Foundation .* yes' _melo_configure.log ||
    melo_die "Qt Multimedia would be built without its Windows audio output (see _melo_configure.log)"
  # Qt's CMake files name the folder they were installed into: the temporary one becomes the
  # set's final folder, into which the driver renames it when every recipe is done.
  local final=${PREFIX%.partial.*}
  final=${final%/*}/${final##*/.}
  { grep -rlIZ -F "$PREFIX" "$PREFIX" || true; } | xargs -0 -r sed -i "s|$PREFIX|$final|g"
}
