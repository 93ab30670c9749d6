# The resampler, configured as Debian's (its SIMD paths chosen at run time); no OpenMP, so the
# executables need no OpenMP runtime.
source_package=libsoxr
library=libsoxr
licence=LGPL-2.1-or-later
licence_files="LICENCE COPYING.LGPL src/pffft.c#comment src/fft4g.c#comment src/dbesi0.c#comment"
melo_build() {
  melo_cmake -DBUILD_TESTS=OFF -DBUILD_EXAMPLES=OFF -DWITH_OPENMP=OFF -DWITH_LSR_BINDINGS=OFF \
    -DDOC_INSTALL_DIR=share/doc/libsoxr
  # For Windows its CMake files write no pkg-config file: this one is what they write elsewhere.
  local version
  version=$(awk '/^set \(PROJECT_VERSION_(MAJOR|MINOR|PATCH) / { sub(/\)/, "", $3); v = v (v == "" ? "" : ".") $3 }
    END { print v }' CMakeLists.txt)
  mkdir -p "$PREFIX/lib/pkgconfig"
  printf '%s\n' "prefix=$PREFIX" 'Name: soxr' \
    'Description: High quality, one-dimensional sample-rate conversion library' \
    "Version: $version" 'Libs: -L${prefix}/lib -lsoxr -lm' 'Cflags: -I${prefix}/include' \
    >"$PREFIX/lib/pkgconfig/soxr.pc"
}
