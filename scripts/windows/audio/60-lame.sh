# The MP3 encoder: libsndfile's MPEG support needs it beside mpg123. Library only.
source_package=lame
library=libmp3lame
licence=LGPL-2.0-or-later
licence_files=COPYING
melo_build() {
  melo_configure --disable-frontend --disable-gtktest --disable-mp3x
}
