# The Opus decoder, configured as Debian's (floating point, custom modes). The stack protector
# stays off: with mingw-w64 it needs libssp, which nothing else links.
source_package=opus
library=libopus
licence=BSD-3-Clause
licence_files=COPYING
melo_build() {
  melo_configure --enable-custom-modes --disable-doc --disable-extra-programs --disable-stack-protector
}
