# Reads every audio format the preparation takes: WAV, AIFF, FLAC, Ogg Vorbis, Opus, MP3 ...
# with the codec libraries above. Library only.
source_package=libsndfile
library=libsndfile
licence=LGPL-2.1-or-later
licence_files="COPYING src/ALAC/LICENSE src/GSM610/COPYRIGHT src/G72x/README.original"
melo_build() {
  # libFLAC is the static one: its header declares its functions for a DLL unless told.
  CFLAGS="-O2 -DFLAC__NO_DLL" melo_cmake -DCMAKE_C_FLAGS="-O2 -DFLAC__NO_DLL" -DENABLE_EXTERNAL_LIBS=ON -DENABLE_MPEG=ON -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF \
    -DENABLE_CPACK=OFF -DENABLE_PACKAGE_CONFIG=OFF -DINSTALL_PKGCONFIG_MODULE=ON \
    -DINSTALL_MANPAGES=OFF
}
