# The Vorbis decoder (and encoder, which libsndfile links too).
source_package=libvorbis
library=libvorbis
licence=BSD-3-Clause
licence_files=COPYING
melo_build() {
  melo_configure --disable-docs --disable-examples --disable-oggtest
}
