// The song reader's entry point: version text, song information, notice,
// triplet feel, lyrics and the packed song block, then the song body.
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "song/read_primitives.h"
#include "song/song_internal.h"

namespace Tolvenar {

// The song block is read in one go into the record, so its stretch of the
// record must match the file byte for byte on every build.
constexpr size_t kBlockTempo = 0;
constexpr size_t kBlockKey = 4;
constexpr size_t kBlockOctave = 5;
constexpr size_t kBlockChannels = 9;
constexpr size_t kBlockChannelBytes = 12;
constexpr size_t kBlockPortBytes = 16 * kBlockChannelBytes;
constexpr size_t kBlockMeasureCount = 777;
constexpr size_t kBlockTrackCount = 781;

#define ORLIX_BLOCK_OFFSET(field) (offsetof(FileStruct, field) - offsetof(FileStruct, tempo))
static_assert(ORLIX_BLOCK_OFFSET(key) == kBlockKey, "key is song block byte 4");
static_assert(ORLIX_BLOCK_OFFSET(octave) == kBlockOctave, "octave is song block bytes 5..8");
static_assert(ORLIX_BLOCK_OFFSET(midiChannels) == kBlockChannels, "channel table starts at 9");
static_assert(ORLIX_BLOCK_OFFSET(measureCount) == kBlockMeasureCount, "measure count at 777");
static_assert(ORLIX_BLOCK_OFFSET(trackCount) == kBlockTrackCount, "track count at 781");
static_assert(ORLIX_BLOCK_OFFSET(trackCount) + sizeof(FileStruct::trackCount) == kSongBlockBytes,
              "the song block is 785 bytes");
static_assert(sizeof(FileStruct::midiChannels) == 4 * kBlockPortBytes, "4 x 16 entries of 12 bytes");
#undef ORLIX_BLOCK_OFFSET

static_assert(sizeof(MidiChannel) == kBlockChannelBytes, "a channel entry is 12 bytes");
static_assert(offsetof(MidiChannel, instrument) == 0 && offsetof(MidiChannel, volume) == 4 &&
                  offsetof(MidiChannel, balance) == 5 && offsetof(MidiChannel, chorus) == 6 &&
                  offsetof(MidiChannel, reverb) == 7 && offsetof(MidiChannel, phaser) == 8 &&
                  offsetof(MidiChannel, tremolo) == 9 && offsetof(MidiChannel, blank) == 10,
              "channel entry fields at their file offsets");
static_assert(sizeof(BendPoint) == 9 && offsetof(BendPoint, value) == 4 &&
                  offsetof(BendPoint, vibrato) == 8,
              "a bend point is 9 bytes as in the file");

namespace {

const char* const kAcceptedVersions[] = {"FICHIER GUITAR PRO v4.00", "FICHIER GUITAR PRO v4.06"};
// The 24 characters and the terminating NUL.
constexpr size_t kVersionCompareBytes = 25;
// The version text has a 30-byte field after its length byte.
constexpr long kSongInfoOffset = 31;
constexpr int kLyricsLines = 5;

int IsAcceptedVersion(const char* version) {
  for (const char* accepted : kAcceptedVersions) {
    if (strncmp(version, accepted, kVersionCompareBytes) == 0) return 1;
  }
  return 0;
}

int ReadSongInfo(SongInfo* info, FILE* stream) {
  char** texts[] = {&info->title,  &info->subtitle,  &info->interpret, &info->album,
                    &info->author, &info->copyright, &info->tabAuthor, &info->instructions};
  for (char** text : texts) {
    *text = ReadIntByteString(stream);
    if (!*text) return 0;
  }
  if (!ReadU32LE(stream, &info->noticeLineCount)) return 0;
  if (info->noticeLineCount == 0) return 1;
  // A count the rest of the file cannot back would fail at its reads anyway.
  if (!StreamCanHold(stream, info->noticeLineCount, kMinNoticeLineBytes)) return 0;
  info->noticeLines = static_cast<char**>(AllocArray(info->noticeLineCount, sizeof(char*)));
  if (!info->noticeLines) return 0;
  for (uint32_t i = 0; i < info->noticeLineCount; ++i) {
    info->noticeLines[i] = ReadIntByteString(stream);
    if (!info->noticeLines[i]) return 0;
  }
  return 1;
}

// Consumes n bytes without keeping them; a short read just ends the stream.
void SkipBytes(FILE* stream, uint32_t n) {
  uint8_t scratch[256];
  while (n > 0) {
    uint32_t chunk = n < sizeof scratch ? n : static_cast<uint32_t>(sizeof scratch);
    if (!ReadBytes(stream, scratch, chunk)) return;
    n -= chunk;
  }
}

// One lyrics entry. Only a missing starting measure fails; a missing length,
// allocation or text leaves the line null and reading goes on.
int ReadLyricsLine(FILE* stream, char** line) {
  uint32_t startingMeasure;
  if (!ReadU32LE(stream, &startingMeasure)) return 0;
  uint32_t length;
  if (!ReadU32LE(stream, &length)) return 1;
  if (!StreamCanHold(stream, length, 1)) {
    // Same outcome as the short read, without allocating the claimed size.
    fseek(stream, 0, SEEK_END);
    return 1;
  }
  char* text = static_cast<char*>(AllocArray(static_cast<uint64_t>(length) + 1, 1));
  if (!text) {
    // The text is still consumed, so what follows is read from its own place.
    SkipBytes(stream, length);
    return 1;
  }
  if (!ReadBytes(stream, text, length)) {
    free(text);
    return 1;
  }
  text[length] = '\0';
  *line = text;
  return 1;
}

int ReadLyrics(FileStruct* song, FILE* stream) {
  if (!ReadI32LE(stream, &song->lyricsTrack)) return 0;
  for (int i = 0; i < kLyricsLines; ++i) {
    if (!ReadLyricsLine(stream, &song->lyricsLines[i])) return 0;
  }
  return 1;
}

// The block's integers arrive in file order; this makes them native.
void DecodeSongBlock(FileStruct* song, const uint8_t* block) {
  song->tempo = static_cast<int32_t>(DecodeU32LE(block + kBlockTempo));
  song->octave = static_cast<int32_t>(DecodeU32LE(block + kBlockOctave));
  for (size_t port = 0; port < 4; ++port) {
    for (size_t channel = 0; channel < 16; ++channel) {
      const uint8_t* entry = block + kBlockChannels + port * kBlockPortBytes + channel * kBlockChannelBytes;
      song->midiChannels[port][channel].instrument = static_cast<int32_t>(DecodeU32LE(entry));
    }
  }
  song->measureCount = DecodeU32LE(block + kBlockMeasureCount);
  song->trackCount = DecodeU32LE(block + kBlockTrackCount);
}

int ReadSongHead(FileStruct* song, FILE* stream) {
  song->version = ReadByteString(stream);
  if (!song->version) return 0;
  if (!IsAcceptedVersion(song->version)) return 0;
  if (fseek(stream, kSongInfoOffset, SEEK_SET) != 0) return 0;
  if (!ReadSongInfo(&song->info, stream)) return 0;
  if (!ReadU8(stream, &song->tripletFeel)) return 0;
  if (!ReadLyrics(song, stream)) return 0;
  uint8_t* block = reinterpret_cast<uint8_t*>(song) + offsetof(FileStruct, tempo);
  if (!ReadBytes(stream, block, kSongBlockBytes)) return 0;
  DecodeSongBlock(song, block);
  return 1;
}

}  // namespace

int LoadFileStruct(FileStruct* song, FILE* stream) {
  memset(song, 0, sizeof *song);
  rewind(stream);
  if (!ReadSongHead(song, stream) ||
      !LoadSongBody(song, stream, song->measureCount, song->trackCount)) {
    FreeFileStruct(song);
    return 0;
  }
  return 1;
}

}  // namespace Tolvenar
