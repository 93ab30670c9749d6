# The Opus decoder, configured as Debian's (floating point, custom modes, hardening on). The
# stack protector stays off.
source_package=opus
library=libopus
licence=BSD-3-Clause
licence_files=COPYING
melo_build() {
  melo_configure --enable-custom-modes --disable-doc --disable-extra-programs --disable-stack-protector
  # Its hardening (on, as in Debian's build) fortifies memcpy and memset; with mingw-w64 their
  # checked forms come from libssp, which a static link has to name.
  sed -i 's/^Libs\.private:.*/& -lssp/' "$PREFIX/lib/pkgconfig/opus.pc"
}
