# libFLAC only: no programs, no C++ library. SSE as Debian builds it for amd64. The stack
# protector stays off: with mingw-w64 it needs libssp, which nothing else links.
source_package=flac
library=libFLAC
licence=BSD-3-Clause
licence_files=COPYING.Xiph
melo_build() {
  melo_configure --enable-sse --disable-cpplibs --disable-programs --disable-examples \
    --disable-doxygen-docs --disable-xmms-plugin --disable-oggtest --disable-stack-smash-protection \
    --disable-version-from-git
  # Without FLAC__NO_DLL the headers declare the functions as imported from a DLL.
  sed -i 's/^Cflags:.*/& -DFLAC__NO_DLL/' "$PREFIX/lib/pkgconfig/flac.pc"
}
