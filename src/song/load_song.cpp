// The song reader's entry point: version text, song information, notice,
// triplet feel, lyrics (from version 4 on) and the packed song block, then
// the song body.
#include <cstddef>
#include <cstdlib>
#include <cstring>

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

// The version's length byte and its 30-byte field.
constexpr size_t kVersionFieldBytes = 31;
constexpr int kLyricsLines = 5;

int ReadSongInfo(SongInfo* info, SongReader* in) {
  if (ReadsVersion5(in)) {
    // Words and music are separate texts; the author is the music's.
    char** texts[] = {&info->title, &info->subtitle, &info->interpret, &info->album};
    for (char** text : texts) {
      if (!ReadIntByteString(in, text)) return 0;
    }
    if (!SkipIntByteString(in) || !ReadIntByteString(in, &info->author)) return 0;
    char** rest[] = {&info->copyright, &info->tabAuthor, &info->instructions};
    for (char** text : rest) {
      if (!ReadIntByteString(in, text)) return 0;
    }
  } else {
    char** texts[] = {&info->title,  &info->subtitle,  &info->interpret, &info->album,
                      &info->author, &info->copyright, &info->tabAuthor, &info->instructions};
    for (char** text : texts) {
      if (!ReadIntByteString(in, text)) return 0;
    }
  }
  if (!ReadU32LE(in, &info->noticeLineCount)) return 0;
  if (info->noticeLineCount == 0) return 1;
  // A count the rest of the file cannot back would fail at its reads anyway.
  if (!InputCanHold(in, info->noticeLineCount, kMinNoticeLineBytes)) return 0;
  info->noticeLines = static_cast<char**>(NewArray(in, info->noticeLineCount, sizeof(char*)));
  if (!info->noticeLines) return 0;
  for (uint32_t i = 0; i < info->noticeLineCount; ++i) {
    if (!ReadIntByteString(in, &info->noticeLines[i])) return 0;
  }
  return 1;
}

// One lyrics entry. Only a missing starting measure fails; a missing length,
// allocation or text leaves the line null and reading goes on.
int ReadLyricsLine(SongReader* in, char** line) {
  uint32_t startingMeasure;
  if (!ReadU32LE(in, &startingMeasure)) return 0;
  uint32_t length;
  int kept = ReadU32LE(in, &length) && InputCanHold(in, length, 1);
  char* text = kept ? static_cast<char*>(NewArray(in, static_cast<uint64_t>(length) + 1, 1)) : nullptr;
  if (kept && !text) {
    // The text is still consumed, so what follows is read from its own place.
    SkipBytes(in, length);
  } else if (kept && ReadBytes(in, text, length)) {
    text[length] = '\0';
    *line = text;
  } else {
    // Whatever the line could not have (a claim past the end included)
    // the input ends inside it: the next read fails.
    if (text) {
      DropRecord(in, text);
    } else {
      SkipBytes(in, UINT64_MAX);
    }
  }
  // The line's own failure is not the song's.
  ClearReadError(in);
  return 1;
}

int ReadLyrics(FileStruct* song, SongReader* in) {
  if (!ReadI32LE(in, &song->lyricsTrack)) return 0;
  for (int i = 0; i < kLyricsLines; ++i) {
    if (!ReadLyricsLine(in, &song->lyricsLines[i])) return 0;
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

// Version 5 spreads the song block over several fields, with display and
// sound-engine data between them: the block's parts are read into their
// places and the rest is skipped, or kept beside the records (directions).
int ReadVersion5SongBlock(uint8_t* block, SongReader* in) {
  constexpr size_t kMasterEffectBytes = 19;
  constexpr size_t kPageSetupBytes = 30;
  constexpr int kPageSetupTexts = 10;
  constexpr size_t kMasterReverbBytes = 4;
  const bool v510 = ReadsVersion510(in);
  if (v510 && !SkipBytes(in, kMasterEffectBytes)) return 0;
  if (!SkipBytes(in, kPageSetupBytes)) return 0;
  for (int i = 0; i < kPageSetupTexts; ++i) {
    if (!SkipIntByteString(in)) return 0;
  }
  // The tempo's name, then the tempo and (v5.10) its hide-tempo byte.
  if (!SkipIntByteString(in) || !ReadBytes(in, block + kBlockTempo, 4)) return 0;
  if (v510 && !SkipBytes(in, 1)) return 0;
  if (!ReadBytes(in, block + kBlockKey, kBlockMeasureCount - kBlockKey)) return 0;
  const uint8_t* directions;
  if (!TakeBytes(in, 2 * kDirectionCount, &directions)) return 0;
  if (in->extras) {
    for (int sign = 0; sign < kDirectionCount; ++sign) {
      int16_t measure = static_cast<int16_t>(directions[2 * sign] | directions[2 * sign + 1] << 8);
      in->extras->directions[sign] = measure > 0 ? measure : 0;
    }
  }
  return SkipBytes(in, kMasterReverbBytes) &&
         ReadBytes(in, block + kBlockMeasureCount, kSongBlockBytes - kBlockMeasureCount);
}

// The key is an int32 and, from version 4 on, a one-byte octave follows it;
// the record splits those five bytes into a key byte and a 4-byte octave.
// Version 3 has no octave byte: its block is the version 4 block without
// block byte 8, which is left 0.
constexpr size_t kBlockOctaveByte = kBlockOctave + 3;

int ReadSongBlock(uint8_t* block, SongReader* in) {
  if (ReadsVersion5(in)) return ReadVersion5SongBlock(block, in);
  if (!ReadsVersion3(in)) return ReadBytes(in, block, kSongBlockBytes);
  if (!ReadBytes(in, block, kBlockOctaveByte)) return 0;
  block[kBlockOctaveByte] = 0;
  return ReadBytes(in, block + kBlockOctaveByte + 1, kSongBlockBytes - kBlockOctaveByte - 1);
}

// Everything between the version field and the song body.
int ReadSongHead(FileStruct* song, SongReader* in) {
  if (!ReadSongInfo(&song->info, in)) return 0;
  // Version 5 has a triplet feel per measure instead (see the measure headers).
  if (!ReadsVersion5(in) && !ReadU8(in, &song->tripletFeel)) return 0;
  // Version 3 has no lyrics: no track, every line null.
  if (!ReadsVersion3(in) && !ReadLyrics(song, in)) return 0;
  uint8_t* block = reinterpret_cast<uint8_t*>(song) + offsetof(FileStruct, tempo);
  if (!ReadSongBlock(block, in)) return 0;
  DecodeSongBlock(song, block);
  return 1;
}

// The version text, and the format it names. The text has a 30-byte field
// after its length byte and the information texts start after it whatever
// the length says: a longer text (which still names a format when a NUL
// ends it within its 24 characters) runs into them and they are read
// again from their own offset. So the text is peeked and only the field
// is taken.
int ReadVersion(FileStruct* song, SongReader* in) {
  const uint8_t* field;
  if (!PeekBytes(in, 1, &field)) return 0;
  size_t length = field[0];
  // Byte by byte, so that a text the input cuts short is known as far as it
  // goes: a song file cut early when that could still begin a known header,
  // else no song file at all (a few bytes of anything must not pass for a
  // truncated song).
  char seen[kSpillBytes];
  for (size_t have = 0; have < length; ++have) {
    if (!PeekBytes(in, 2 + have, &field)) {
      if (BeginsKnownHeader(seen, have, in->acceptsHandleFormats)) return 0;
      seen[have] = '\0';
      ClearReadError(in);
      return FailUnknownFormat(in, seen);
    }
    seen[have] = static_cast<char>(field[1 + have]);
  }
  song->version = static_cast<char*>(NewArrayUninitialised(in, length + 1, 1));
  if (!song->version) return 0;
  memcpy(song->version, field + 1, length);
  song->version[length] = '\0';
  in->format = DetectSongFormat(song->version, in->acceptsHandleFormats);
  if (in->format == kFormatUnknown) return FailUnknownFormat(in, song->version);
  size_t peeked = 1 + length > kVersionFieldBytes ? 1 + length : kVersionFieldBytes;
  if (!PeekBytes(in, peeked, &field)) return 0;
  in->at += kVersionFieldBytes;
  return 1;
}

// The reader of each format.
int ReadSongOfFormat(FileStruct* song, SongReader* in) {
  switch (FormatMajor(in->format)) {
    case 5:
      // The second voice and the rest that version 5 adds have their place
      // only where the caller keeps extras (song handles).
      if (!in->extras || !in->arena) return FailUnknownFormat(in, song->version);
      [[fallthrough]];
    case 3:
    case 4:
      return ReadSongHead(song, in) && LoadSongBody(song, in, song->measureCount, song->trackCount);
    default:
      return FailUnknownFormat(in, song->version);
  }
}

}  // namespace

int ReadSong(FileStruct* song, SongReader* in) {
  int read = ReadVersion(song, in) && ReadSongOfFormat(song, in);
  // Every failure records its error; this only guards against one that
  // did not, so that a failed read never goes unexplained.
  if (!read && in->error.kind == kReadOk) FailBadData(in, ReaderOffset(in), nullptr, 0);
  return read;
}

int LoadFileStruct(FileStruct* song, FILE* stream) {
  memset(song, 0, sizeof *song);
  // A song is thousands of small reads: lock the stream once for all of
  // them, so that each read can skip stdio's per-call locking.
  flockfile(stream);
  rewind(stream);
  SongReader in;
  OpenStreamReader(&in, stream);
  int loaded = ReadSong(song, &in);
  CloseReader(&in);
  funlockfile(stream);
  if (!loaded) {
    // The one release of a half-read song.
    FreeFileStruct(song);
    return 0;
  }
  return 1;
}

}  // namespace Tolvenar
