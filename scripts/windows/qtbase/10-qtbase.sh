# Qt's base for the window: Core, Gui, Widgets, Network (Qt Multimedia needs it), Test, the
# Windows and offscreen platform plugins, the Windows style, PNG and ICO images. Static and
# release, with the zlib, libpng, FreeType and PCRE2 that Qt's source bundles, so the
# executables import Windows system DLLs only. No HarfBuzz: the window's texts need no complex
# script shaping, and it is one of the largest parts of the build. About 1,100 files.
source_package=qt6-base
library="Qt Base"
licence="LGPL-3.0-only OR GPL-2.0-only OR GPL-3.0-only"
licence_files="LICENSES/LGPL-3.0-only.txt LICENSES/GPL-3.0-only.txt src/3rdparty/zlib/LICENSE
  src/3rdparty/libpng/LICENSE src/3rdparty/freetype/LICENSE.txt src/3rdparty/freetype/docs/FTL.TXT
  src/3rdparty/pcre2/LICENCE src/3rdparty/double-conversion/LICENSE
  src/3rdparty/md4c/LICENSE.md src/3rdparty/tinycbor/LICENSE"
melo_build() {
  # Debian's source leaves out the tablet header wintab.h, hence no tablet events. OpenGL
  # stays, loaded at run time: the 6.4.2 Windows platform plugin does not compile without it.
  # DirectWrite 3's font database is compiled only with Direct2D, yet the platform plugin
  # refers to it whenever the feature is on: off with Direct2D.
  melo_qt_module -DINPUT_opengl=dynamic -DFEATURE_tabletevent=OFF \
    -DFEATURE_sql=OFF -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF \
    -DFEATURE_direct2d=OFF -DFEATURE_directwrite3=OFF -DFEATURE_vulkan=OFF \
    -DFEATURE_openssl=OFF -DFEATURE_zstd=OFF \
    -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF \
    -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_pcre2=OFF \
    -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF -DFEATURE_harfbuzz=OFF
  [ -f "$PREFIX/lib/cmake/Qt6Widgets/Qt6WidgetsConfig.cmake" ] &&
    [ -f "$PREFIX/lib/cmake/Qt6Network/Qt6NetworkConfig.cmake" ] ||
    melo_die "Qt base was built without Widgets or Network (see _melo_configure.log)"
}
