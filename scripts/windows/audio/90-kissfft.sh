# The loop finder's FFT, single precision like Debian's libkissfft-float; -O3 as Debian builds it.
source_package=kissfft
library=KissFFT
licence=BSD-3-Clause
licence_files="COPYING LICENSES/BSD-3-Clause"
melo_build() {
  CFLAGS="-O3" melo_cmake -DKISSFFT_DATATYPE=float -DKISSFFT_STATIC=ON \
    -DKISSFFT_TEST=OFF -DKISSFFT_TOOLS=OFF -DKISSFFT_OPENMP=OFF -DKISSFFT_PKGCONFIG=ON
}
