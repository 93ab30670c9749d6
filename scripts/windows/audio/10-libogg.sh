# The Ogg container, under Vorbis, FLAC-in-Ogg and Opus files.
source_package=libogg
library=libogg
licence=BSD-3-Clause
licence_files=COPYING
melo_build() {
  melo_configure
}
