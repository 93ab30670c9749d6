# The resampler, configured as Debian's (its SIMD paths chosen at run time; no OpenMP, so the
# executables need no OpenMP runtime).
source_package=libsoxr
library=libsoxr
licence=LGPL-2.1-or-later
licence_files="LICENCE COPYING.LGPL src/pffft.c#comment src/fft4g.c#comment src/dbesi0.c#comment"
melo_build() {
  melo_cmake -DBUILD_TESTS=OFF -DBUILD_EXAMPLES=OFF -DWITH_OPENMP=OFF -DWITH_LSR_BINDINGS=OFF
}
