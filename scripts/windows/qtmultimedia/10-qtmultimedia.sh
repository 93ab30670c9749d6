# Qt Multimedia for the window's sound: its audio output through Windows Media Foundation; no
# FFmpeg, no GStreamer, no spatial audio. Built against the set qtbase (see builds-on).
source_package=qt6-multimedia
library="Qt Multimedia"
licence="LGPL-3.0-only OR GPL-2.0-only OR GPL-3.0-only"
licence_files="LICENSES/LGPL-3.0-only.txt LICENSES/GPL-3.0-only.txt"
melo_build() {
  # The video shaders need Qt Shader Tools (its qsb compiler), which Debian's host Qt here
  # lacks and the window does not need: it plays sound only. Their build steps become no-ops
  # and Shader Tools is not even looked for (a Qt component not found stops the configure),
  # nor their resource loaded, so video frames cannot be drawn through the GPU in this build.
  sed -i -e '1i function(melo_no_video_shaders)\nendfunction()' \
    -e '/^find_package(Qt6 COMPONENTS ShaderTools)/d' \
    -e 's/^qt_internal_add_shaders(/melo_no_video_shaders(/' src/multimedia/CMakeLists.txt
  sed -i '/^    Q_INIT_RESOURCE(shaders);$/d' src/multimedia/video/qvideoframeformat.cpp
  ! grep -q 'ShaderTools\|^qt_internal_add_shaders(' src/multimedia/CMakeLists.txt &&
    ! grep -q 'Q_INIT_RESOURCE(shaders)' src/multimedia/video/qvideoframeformat.cpp ||
    melo_die "Qt Multimedia's video shaders are still built"
  # The Windows sources include SDK headers by names (Mferror.h, "Wmcodecdsp.h" ...) that
  # mingw-w64's lower-case files do not match on a case-sensitive file system: included by
  # the files' own names.
  local include=/usr/$MELO_HOST/include header lower
  for header in $(grep -rhoE '#[[:space:]]*include[[:space:]]*[<"][^>"]+\.h[>"]' src |
    sed -E 's/.*[<"]([^>"]+)[>"].*/\1/' | sort -u); do
    lower=$(tr '[:upper:]' '[:lower:]' <<<"$header")
    [ "$lower" != "$header" ] && [ ! -e "$include/$header" ] && [ -e "$include/$lower" ] || continue
    grep -rlE "[<\"]$header[>\"]" src | xargs sed -i -E "s/([<\"])$header([>\"])/\\1$lower\\2/"
  done
  # One of them includes Qt's "QUrl.h", which only a file system that ignores case finds.
  sed -i 's|#include "QUrl.h"|#include <QtCore/qurl.h>|' src/plugins/multimedia/windows/player/mfplayercontrol_p.h
  ! grep -rq '"QUrl.h"' src || melo_die "Qt Multimedia still includes \"QUrl.h\""
  # 6.4.2 names the Media Foundation library with its ".dll", to which the loader adds another
  # one: Mfplat.dll.dll is found nowhere, so the audio output's resampler never starts and no
  # sound plays on any Windows (Qt's bug QTBUG-108383, mended in 6.4.3).
  sed -i 's/m_mfplat(QStringLiteral("Mfplat.dll"))/m_mfplat(QStringLiteral("Mfplat"))/' \
    src/multimedia/windows/qwindowsmediafoundation_p.h
  grep -q 'm_mfplat(QStringLiteral("Mfplat"))' src/multimedia/windows/qwindowsmediafoundation_p.h ||
    melo_die "Qt Multimedia still loads \"Mfplat.dll.dll\""
  # CMake looks for the Media Foundation libraries by their Windows names (Mf, Mfplat ...),
  # which a case-sensitive file system does not match: they are named here.
  local lib=/usr/$MELO_HOST/lib
  melo_qt_module -DFEATURE_ffmpeg=OFF -DFEATURE_gstreamer=OFF -DFEATURE_spatialaudio=OFF \
    -DFEATURE_spatialaudio_quick3d=OFF \
    -DWMF_MF_LIBRARY=$lib/libmf.a -DWMF_MFUUID_LIBRARY=$lib/libmfuuid.a \
    -DWMF_MFPLAT_LIBRARY=$lib/libmfplat.a -DWMF_MFCORE_LIBRARY=$lib/libmfcore.a \
    -DWMF_PROPSYS_LIBRARY=$lib/libpropsys.a
  # Without its Windows back end (or without Qt base's Gui, when Qt Multimedia skips itself)
  # the window would have no sound: that is a failed build.
  grep -q 'Windows Media Foundation .* yes' _melo_configure.log ||
    melo_die "Qt Multimedia would be built without its Windows audio output (see _melo_configure.log)"
  [ -f "$PREFIX/lib/cmake/Qt6Multimedia/Qt6MultimediaConfig.cmake" ] ||
    melo_die "Qt Multimedia installed no CMake package"
}
