# Loudness (EBU R128) and true peak.
source_package=libebur128
library=libebur128
licence=MIT
licence_files=COPYING
melo_build() {
  melo_cmake
}
