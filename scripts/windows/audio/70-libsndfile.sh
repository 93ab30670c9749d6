# Reads every audio format the preparation takes: WAV, AIFF, FLAC, Ogg Vorbis, Opus, MP3 ...
# with the codec libraries above. Library only.
source_package=libsndfile
library=libsndfile
licence=LGPL-2.1-or-later
licence_files="COPYING src/ALAC/LICENSE src/GSM610/COPYRIGHT src/G72x/README.original"
melo_build() {
  # Its CMake files take FLAC's include folder but not the FLAC__NO_DLL of flac.pc, without
  # which FLAC's headers declare the functions as imported from a DLL.
  CFLAGS="$CFLAGS -DFLAC__NO_DLL" melo_cmake -DENABLE_EXTERNAL_LIBS=ON -DENABLE_MPEG=ON \
    -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF \
    -DENABLE_CPACK=OFF -DENABLE_PACKAGE_CONFIG=OFF -DINSTALL_PKGCONFIG_MODULE=ON \
    -DINSTALL_MANPAGES=OFF
}
