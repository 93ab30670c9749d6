# The MPEG audio decoder libsndfile reads MP3 with; its CPU choice as Debian's amd64 build
# (the x86-64 default, which picks the SSE or AVX synthesis at run time). The player program is
# built with it but not installed anywhere we ship.
source_package=mpg123
library=libmpg123
licence=LGPL-2.1-only
licence_files=COPYING
melo_build() {
  melo_configure --with-audio=dummy --with-default-audio=dummy --disable-modules --disable-network
}
