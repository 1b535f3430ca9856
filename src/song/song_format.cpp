// Format detection: the version text at the start of a song file names its
// format. Every header the library reads is listed here; a new format adds
// its headers here, its major version to ReadSong's switch, and its
// differences inside the record readers, which find the format in the
// reader context.
#include <cstring>

#include "song/song_internal.h"

namespace Tolvenar {

namespace {

struct KnownHeader {
  const char* text;
  SongFormat format;
  bool handlesOnly;  // opened by the handle interface, refused by LoadFileStruct
};

const KnownHeader kKnownHeaders[] = {
    // The older layout: the version 4 records, a few of them shaped
    // differently. The classic entry points have never read it.
    {"FICHIER GUITAR PRO v3.00", kFormat300, true},
    {"FICHIER GUITAR PRO v4.00", kFormat400, false},
    {"FICHIER GUITAR PRO v4.06", kFormat406, false},
    // Written by some editors over the version 4.06 layout.
    {"FICHIER GUITAR PRO L4.06", kFormat406, true},
    {"FICHIER GUITAR PRO v5.00", kFormat500, true},
    {"FICHIER GUITAR PRO v5.10", kFormat510, true},
};

// The 24 characters and the terminating NUL: a longer or shorter text differs.
constexpr size_t kVersionCompareBytes = 25;

}  // namespace

bool BeginsKnownHeader(const char* text, size_t length, bool acceptsHandleFormats) {
  for (const KnownHeader& known : kKnownHeaders) {
    if (known.handlesOnly && !acceptsHandleFormats) continue;
    if (length <= kVersionCompareBytes && strncmp(text, known.text, length) == 0) return true;
  }
  return false;
}

SongFormat DetectSongFormat(const char* versionText, bool acceptsHandleFormats) {
  for (const KnownHeader& known : kKnownHeaders) {
    if (known.handlesOnly && !acceptsHandleFormats) continue;
    if (strncmp(versionText, known.text, kVersionCompareBytes) == 0) return known.format;
  }
  return kFormatUnknown;
}

}  // namespace Tolvenar
