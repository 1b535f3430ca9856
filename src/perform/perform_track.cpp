// The walk of one track through the measures in playing order: every note's
// start, length, pitch, velocity, channel and wheel in absolute ticks, with
// both voices, ties, let ring, grace notes, strokes, tremolo picking and
// trills.
#include <cstring>

#include "perform/sound.h"

namespace Tolvenar {
namespace {

// Version 5 cells hold two voices; each voice keeps its own sounding notes.
constexpr uint32_t kVoiceCount = 2;

constexpr uint8_t kStatusRest = 2;

constexpr uint8_t kNoteGhost = 0x04;
constexpr uint8_t kNoteHasEffects = 0x08;
constexpr uint8_t kNoteAccent = 0x40;
constexpr int32_t kForte = 6;

// First flags byte of note effects, then the second.
constexpr uint8_t kEffectBend = 0x01;
constexpr uint8_t kEffectLetRing = 0x08;
constexpr uint8_t kEffectGrace = 0x10;
constexpr uint8_t kEffectStaccato = 0x01;
constexpr uint8_t kEffectPalmMute = 0x02;
constexpr uint8_t kEffectTremoloPicking = 0x04;
constexpr uint8_t kEffectSlide = 0x08;
constexpr uint8_t kEffectTrill = 0x20;
constexpr uint8_t kEffectVibrato = 0x40;
// Beat effects: first flags byte, then the second.
constexpr uint8_t kBeatVibrato = 0x01;
constexpr uint8_t kBeatWideVibrato = 0x02;
constexpr uint8_t kBeatStroke = 0x40;
constexpr uint8_t kBeatTremoloBar = 0x04;

constexpr uint8_t kGraceSlide = 1;
// Slide mask bits of the slides that leave the note (shift, legato, out).
constexpr uint8_t kSlidesOut = 0x0F;
constexpr uint8_t kSlideLegato = 2;
constexpr int32_t kVibratoCents = 25;
constexpr int32_t kWideVibratoCents = 50;

struct Voice {
  Sound sounds[kSlotCount];
};

struct TrackWalk {
  PerformContext* context;
  const Track* track;
  uint32_t trackIndex;
  uint32_t slotMask;  // bit s: slot s is played
  bool plays;  // a valid main channel and strings
  bool version5;
  bool noteExtras;  // the song keeps details of some notes
  // Per voice, the first details not yet passed in the cell being played
  // (the details are sorted by measure, track, voice, beat and slot); null
  // until a note of the cell asks.
  const NoteExtrasEntry* nextExtras[kVoiceCount];
  uint8_t mainChannel;
  uint8_t wheelChannel;  // effects channel, or the main one
  ChannelPair pair;  // program and controllers go to both
  uint32_t measure;        // the measure being played
  uint32_t measureLength;  // its ticks
  Voice voices[kVoiceCount];
};

// The part of a note that shapes the wheel.
struct NoteWheel {
  const BendCurve* bend;
  int32_t vibrato;
  int16_t slideIn;  // cents a slide in starts from when a slide out takes `slide`
  uint8_t slide;
  bool needed;
};

// What a beat gives all its notes.
struct BeatShape {
  uint64_t start;
  uint64_t end;
  uint32_t measureLength;
  uint8_t dynamic;  // for the notes without one of their own
  int32_t vibrato;
  const BendCurve* bar;
  uint32_t strokeStep;
  bool lowestFirst;
  bool gracesBefore;
  uint32_t held;  // bit s: slot s holds a note
  uint32_t voice;
  // Version 5 details of each slot's note (entries may be null), or null
  // for a song that keeps none.
  const NoteExtras* const* extras;
  NoteWheel plainWheel;  // the wheel of a note with no effects or details
};

uint64_t Min(uint64_t a, uint64_t b) { return a < b ? a : b; }
uint64_t Max(uint64_t a, uint64_t b) { return a > b ? a : b; }

bool IsKnownSlide(uint8_t slide) { return (slide >= 1 && slide <= 4) || slide >= 254; }

// ------------------------------------------------------------ sounds

// The wheel of the sound from `from` on: its held offset, the note's bend
// over noteStart..noteEnd, the beat's tremolo bar, vibrato and slide.
void StartSegment(Sound* sound, uint64_t from, uint64_t to, const NoteWheel& shape,
                  const BeatShape& beat, uint64_t noteStart, uint64_t noteEnd) {
  WheelSegment& segment = sound->segment;
  segment.from = from;
  segment.to = Max(from, to);
  segment.base = {sound->offset, sound->offset, from, from};
  segment.bend = shape.bend;
  segment.bendStart = noteStart;
  segment.bendLength = noteEnd > noteStart ? noteEnd - noteStart : 0;
  segment.bar = beat.bar;
  segment.barStart = beat.start;
  segment.barLength = beat.end - beat.start;
  segment.vibrato = shape.vibrato;
  segment.slide = shape.slide;
  sound->hasSegment = true;
}

void StartSound(TrackWalk* walk, Sound* sound, int32_t pitch, uint8_t velocity, uint64_t start,
                uint64_t end, bool letRing, bool continuable, bool wheel) {
  PerformContext* context = walk->context;
  // Field by field: the segment is filled only when the sound has one.
  sound->open = true;
  sound->continuable = continuable;
  sound->letRing = letRing;
  sound->wheel = wheel;
  sound->pitch = static_cast<uint8_t>(pitch);
  sound->velocity = velocity;
  sound->channel = wheel ? walk->wheelChannel : walk->mainChannel;
  sound->start = start;
  sound->end = end;
  // Every closed sound has no segment, no offset, the wheel at centre, no
  // partner and no held end.
  sound->noteOn = AddTimed(context, &context->events, start, kTimedNoteOn,
                           ChannelData(sound->channel, sound->pitch, velocity));
}

// When the other voice struck the same pitch on the same channel at the
// same tick, one note-on (the first voice's) sounds for both, until the
// later of their ends. Sounds on the wheel keep their own.
void ShareStrike(TrackWalk* walk, uint32_t voice, Sound* sound) {
  if (sound->wheel || !walk->context->version5) return;
  for (Sound& other : walk->voices[(voice + 1) % kVoiceCount].sounds) {
    if (other.open && !other.wheel && other.partner == nullptr &&
        other.start == sound->start && other.pitch == sound->pitch &&
        other.channel == sound->channel) {
      DropTimed(&walk->context->events, sound->noteOn);
      sound->noteOn = UINT32_MAX;
      sound->partner = &other;
      other.partner = sound;
      return;
    }
  }
}

// A note struck and released at once (a grace note, a repeated stroke of
// tremolo picking or a trill).
void PlayShortNote(TrackWalk* walk, uint8_t channel, int32_t pitch, uint8_t velocity,
                   uint64_t start, uint64_t end) {
  if (pitch < 0 || end <= start) return;
  PerformContext* context = walk->context;
  uint8_t key = static_cast<uint8_t>(pitch);
  AddTimed(context, &context->events, start, kTimedNoteOn, ChannelData(channel, key, velocity));
  AddTimed(context, &context->events, end, kTimedNoteOff, ChannelData(channel, key, 0));
}

// Ends the sound at `cutAt` at the latest; a slide glides to nextPitch.
void CloseSound(TrackWalk* walk, Sound* sound, uint64_t cutAt, int32_t nextPitch) {
  if (!sound->open) return;
  PerformContext* context = walk->context;
  sound->end = Min(Min(sound->end, cutAt), context->songEnd);
  if (sound->hasSegment) sound->segment.to = Max(sound->segment.from, sound->end);
  // A sound held at an offset always has a segment (both come from a glide
  // or legato slide, and each later part of the sound starts a segment).
  if (sound->hasSegment || sound->lastWheel != kWheelCentre) {
    WriteSegmentWheel(context, sound, nextPitch, true);
    sound->hasSegment = false;
    sound->offset = 0;
    sound->lastWheel = kWheelCentre;
  }
  Sound* partner = sound->partner;
  if (partner != nullptr) {
    // The partner still sounding ends the shared note.
    partner->partner = nullptr;
    sound->partner = nullptr;
    partner->heldUntil = Max(partner->heldUntil, Max(sound->end, sound->heldUntil));
    if (partner->noteOn == UINT32_MAX) partner->noteOn = sound->noteOn;
    sound->heldUntil = 0;
    sound->open = false;
    return;
  }
  if (sound->heldUntil != 0) {
    sound->end = Max(sound->end, sound->heldUntil);
    sound->heldUntil = 0;
  }
  if (sound->end > sound->start) {
    AddTimed(context, &context->events, sound->end, kTimedNoteOff,
             ChannelData(sound->channel, sound->pitch, 0));
  } else {
    DropTimed(&context->events, sound->noteOn);
  }
  sound->open = false;
}

// Moves a sound onto the wheel's channel once a later part of it bends.
void UseWheel(TrackWalk* walk, Sound* sound) {
  if (sound->wheel) return;
  PerformContext* context = walk->context;
  if (sound->partner != nullptr) {
    // Bent apart from the other voice's sound: each is struck on its own.
    Sound* partner = sound->partner;
    Sound* unstruck = sound->noteOn == UINT32_MAX ? sound : partner;
    unstruck->noteOn = AddTimed(context, &context->events, unstruck->start, kTimedNoteOn,
                                ChannelData(unstruck->channel, unstruck->pitch, unstruck->velocity));
    partner->partner = nullptr;
    sound->partner = nullptr;
  }
  sound->wheel = true;
  sound->channel = walk->wheelChannel;
  if (sound->noteOn < context->events.count) {
    context->events.items[sound->noteOn] = WithChannel(context->events.items[sound->noteOn],
                                                       sound->channel);
  }
}

// A tied note: the sound goes on to the tie's end at its own pitch.
void ContinueSound(TrackWalk* walk, Sound* sound, uint64_t start, uint64_t end, bool letRing,
                   const NoteWheel& shape, const BeatShape& beat) {
  if (sound->hasSegment) {
    sound->segment.to = Max(sound->segment.from, start);
    WriteSegmentWheel(walk->context, sound, -1, false);
  }
  if (shape.needed) UseWheel(walk, sound);
  sound->end = Max(sound->end, end);
  sound->letRing = letRing;
  if (sound->wheel) StartSegment(sound, start, sound->end, shape, beat, start, end);
}

// After a legato slide the next note of the string is not struck: the
// sound is held through it at the pitch the slide reached.
bool AbsorbIntoLegato(TrackWalk* walk, Sound* sound, int32_t pitch, uint64_t start, uint64_t end,
                      bool letRing, const NoteWheel& shape, const BeatShape& beat) {
  if (!sound->open || !sound->hasSegment || sound->segment.slide != kSlideLegato) return false;
  int32_t cents = (pitch - sound->pitch) * 100;
  if (cents > kOctaveCents || cents < -kOctaveCents) return false;
  sound->segment.to = Max(sound->segment.from, start);
  WriteSegmentWheel(walk->context, sound, pitch, false);
  sound->offset = cents;
  sound->end = Max(sound->end, end);
  sound->letRing = letRing;
  StartSegment(sound, start, sound->end, shape, beat, start, end);
  return true;
}

// ------------------------------------------------------------ beats

// A rest ends the let-ring notes of its own voice.
void CutLetRing(Voice* voice, uint64_t at) {
  for (Sound& sound : voice->sounds) {
    if (sound.open && sound.letRing && sound.end > at) sound.end = at;
  }
}

// Shortens whatever the voice sounds across `at` to end there; false when
// nothing does.
bool CutSoundsAt(Voice* voice, uint64_t at) {
  bool any = false;
  for (Sound& sound : voice->sounds) {
    if (sound.open && sound.start < at && sound.end > at) {
      sound.end = at;
      any = true;
    }
  }
  return any;
}

void SendPair(TrackWalk* walk, uint64_t tick, uint8_t kind, uint8_t data1, uint8_t data2) {
  PerformContext* context = walk->context;
  for (uint32_t i = 0; i < walk->pair.count; ++i) {
    AddTimed(context, &context->events, tick, kind, ChannelData(walk->pair.channels[i], data1, data2));
  }
}

void ApplyMixTable(TrackWalk* walk, const MixTableChange* mix, uint64_t tick) {
  PerformContext* context = walk->context;
  if (mix->tempo > 0) {
    AddTimed(context, &context->conductor, tick, kTimedTempo,
             SetTempoValue(static_cast<uint32_t>(mix->tempo)));
  }
  if (mix->instrument >= 0) {
    SendPair(walk, tick, kTimedProgram, static_cast<uint8_t>(mix->instrument), 0);
  }
  if (mix->volume != -1) {
    SendPair(walk, tick, kTimedControl, kMidiControllerChannelVolume,
             VolumeToController(static_cast<uint8_t>(mix->volume)));
  }
  const int8_t values[5] = {mix->balance, mix->reverb, mix->chorus, mix->phaser, mix->tremolo};
  const uint8_t controllers[5] = {kMidiControllerPan, kMidiControllerReverb, kMidiControllerChorus,
                                  kPhaserController, kTremoloController};
  for (int i = 0; i < 5; ++i) {
    if (values[i] != -1) {
      SendPair(walk, tick, kTimedControl, controllers[i], SendLevel(static_cast<uint8_t>(values[i])));
    }
  }
}

const NoteEffects* EffectsOf(const Note* note) {
  return (note->flags & kNoteHasEffects) != 0 ? note->effects : nullptr;
}

bool HasGrace(const Note* note) {
  const NoteEffects* effects = EffectsOf(note);
  return effects != nullptr && (effects->flags1 & kEffectGrace) != 0 &&
         (note->flags & kNotePlayable) != 0 && note->type != kNoteTypeTie;
}

// A grace note's duration byte: 1 a sixty-fourth, 2 a thirty-second, 3 a
// sixteenth.
uint32_t GraceTicks(const PerformContext* context, uint8_t duration) {
  uint32_t k = context->ticksPerSixtyFourth;
  if (duration <= 1) return k;
  return duration == 2 ? 2 * k : 4 * k;
}

// Strokes: string after string, 10 x 2^(s - 3) ticks apart at 480 a quarter.
void ShapeStroke(const PerformContext* context, const BeatEffects* effects, BeatShape* shape) {
  if (effects == nullptr || (effects->flags1 & kBeatStroke) == 0) return;
  uint8_t speed = effects->stroke[0] != 0 ? effects->stroke[0] : effects->stroke[1];
  if (speed < 1 || speed > 6) return;
  shape->lowestFirst = effects->stroke[0] != 0;
  shape->strokeStep = (context->ticksPerQuarter << speed) / 384;
}

uint64_t StrokeOffset(const BeatShape& beat, uint32_t slot) {
  if (beat.strokeStep == 0) return 0;
  uint32_t before = 0;
  for (uint32_t s = 0; s < kSlotCount; ++s) {
    bool earlier = beat.lowestFirst ? s > slot : s < slot;
    if (earlier && (beat.held & (1u << s)) != 0) ++before;
  }
  uint64_t offset = uint64_t{before} * beat.strokeStep;
  uint64_t last = beat.end - beat.start - 1;
  return offset < last ? offset : last;
}

NoteWheel WheelOf(const NoteEffects* effects, const NoteExtras* extras, const BeatShape& beat) {
  NoteWheel shape = {};
  shape.vibrato = beat.vibrato;
  // Kept as each part is found: a bend, a slide, vibrato or the tremolo bar.
  bool needed = beat.bar != nullptr || beat.vibrato != 0;
  if (effects != nullptr) {
    if ((effects->flags1 & kEffectBend) != 0) {
      shape.bend = effects->bend;
      needed = needed || shape.bend != nullptr;
    }
    if ((effects->flags2 & kEffectSlide) != 0 && IsKnownSlide(effects->slide)) {
      needed = true;
      shape.slide = effects->slide;
      // A version 5 mask may hold a slide in beside the slide out the record
      // keeps: the note then glides in as well.
      uint8_t mask = extras != nullptr ? extras->slideMask : 0;
      if ((mask & kSlidesOut) != 0) {
        if ((mask & SlideBit::kSlideInFromBelow) != 0) {
          shape.slideIn = -kOctaveCents;
        } else if ((mask & SlideBit::kSlideInFromAbove) != 0) {
          shape.slideIn = kOctaveCents;
        }
      }
    }
    if ((effects->flags2 & kEffectVibrato) != 0 && shape.vibrato == 0) {
      shape.vibrato = kVibratoCents;
      needed = true;
    }
  }
  shape.needed = needed;
  return shape;
}

// Tremolo picking strikes the note again every eighth, sixteenth or
// thirty-second; a trill alternates with its fret every sixteenth,
// thirty-second or sixty-fourth. 0 for neither.
uint32_t RepeatTicks(const PerformContext* context, const NoteEffects* effects, bool* trill) {
  *trill = false;
  if (effects == nullptr) return 0;
  uint32_t k = context->ticksPerSixtyFourth;
  if ((effects->flags2 & kEffectTrill) != 0) {
    *trill = true;
    switch (effects->trill[1]) {
      case 1: return 4 * k;
      case 2: return 2 * k;
      case 3: return k;
      default: *trill = false; break;
    }
  }
  if ((effects->flags2 & kEffectTremoloPicking) != 0) {
    switch (effects->tremoloPicking) {
      case 1: return 8 * k;
      case 2: return 4 * k;
      case 3: return 2 * k;
      default: return 0;
    }
  }
  return 0;
}

// The end of a note struck at `start` that would end at `end`: palm mute
// and staccato sound half of it, let ring a measure's length.
uint64_t EffectedEnd(const NoteEffects* effects, uint64_t start, uint64_t end,
                     uint32_t measureLength, bool* letRing) {
  if ((effects->flags2 & (kEffectStaccato | kEffectPalmMute)) != 0) {
    end = start + Max(1, (end - start) / 2);
  }
  if ((effects->flags1 & kEffectLetRing) != 0) {
    end = start + measureLength;
    *letRing = true;
  }
  return end;
}

void PlayNote(TrackWalk* walk, Voice* voice, const Beat* beat, uint32_t slot,
              const BeatShape& shape) {
  PerformContext* context = walk->context;
  const Note* note = &beat->notes[slot];
  if ((note->flags & kNotePlayable) == 0) return;
  uint8_t type = note->type;
  if (type != kNoteTypeNormal && type != kNoteTypeTie && type != kNoteTypeDead) return;
  const NoteEffects* effects = EffectsOf(note);
  const NoteExtras* extras = shape.extras != nullptr ? shape.extras[slot] : nullptr;
  Sound* sound = &voice->sounds[slot];

  uint64_t start = shape.strokeStep != 0 ? shape.start + StrokeOffset(shape, slot) : shape.start;
  uint64_t end = shape.end;
  bool letRing = false;
  if (type == kNoteTypeDead) {
    end = Min(end, start + context->ticksPerSixtyFourth);
  } else if (effects != nullptr) {
    end = EffectedEnd(effects, start, end, shape.measureLength, &letRing);
  }
  if (end <= start) return;
  NoteWheel wheel = effects != nullptr || extras != nullptr ? WheelOf(effects, extras, shape)
                                                            : shape.plainWheel;

  if (type == kNoteTypeTie && sound->open && sound->continuable) {
    ContinueSound(walk, sound, start, end, letRing, wheel, shape);
    ++context->counts.tiedHolds;
    return;
  }
  int32_t pitch = NotePitch(walk->track, slot, note, effects, extras);
  int32_t levels = ((note->flags & kNoteAccent) != 0 ? 1 : 0) - ((note->flags & kNoteGhost) != 0 ? 1 : 0);
  // A heavy accent (kept as an accent in the record) is one level more.
  if (extras != nullptr && extras->heavyAccent != 0) ++levels;
  uint8_t velocity = DynamicVelocity((note->flags & kNoteDynamic) != 0 ? note->dynamic
                                                                        : shape.dynamic,
                                     levels);
  bool grace = HasGrace(note);
  if (pitch >= 0 && !grace && type == kNoteTypeNormal &&
      AbsorbIntoLegato(walk, sound, pitch, start, end, letRing, wheel, shape)) {
    return;
  }

  uint64_t mainStart = start;
  if (grace) {
    ++context->counts.graceNotes;
    uint32_t length = GraceTicks(context, effects->grace[3]);
    // A version 5 grace "on the beat" always takes its time from its note.
    bool before = shape.gracesBefore && !(extras != nullptr && extras->graceOnBeat != 0);
    bool dead = extras != nullptr && extras->graceDead != 0;
    uint64_t graceStart = before ? shape.start - length : shape.start;
    uint64_t graceEnd = before ? shape.start : Min(shape.start + length, Min(end, shape.end));
    if (!before) mainStart = Max(start, graceEnd);
    // A dead grace sounds as a dead note: a sixty-fourth at most, fret 255
    // on the open string, never gliding into its note.
    uint8_t graceFret = dead && effects->grace[0] == 255 ? 0 : effects->grace[0];
    int32_t gracePitch = FrettedPitch(walk->track, slot, graceFret);
    uint8_t graceVelocity = DynamicVelocity(effects->grace[1], 0);
    CloseSound(walk, sound, graceStart, gracePitch);
    int32_t glide = (pitch - gracePitch) * 100;
    if (effects->grace[2] == kGraceSlide && !dead && gracePitch >= 0 && pitch >= 0 &&
        glide <= kOctaveCents && glide >= -kOctaveCents && mainStart < end) {
      // The grace glides into the main note, which is not struck again.
      StartSound(walk, sound, gracePitch, graceVelocity, graceStart, end, letRing, true, true);
      StartSegment(sound, graceStart, end, wheel, shape, mainStart, end);
      sound->segment.base = {0, glide, graceStart, graceEnd};
      sound->offset = glide;
      return;
    }
    PlayShortNote(walk, walk->mainChannel, gracePitch, graceVelocity, graceStart,
                  dead ? Min(graceEnd, graceStart + context->ticksPerSixtyFourth) : graceEnd);
  } else {
    CloseSound(walk, sound, start, pitch);
  }
  if (pitch < 0 || mainStart >= end) return;

  bool trill = false;
  uint32_t repeat = RepeatTicks(context, effects, &trill);
  int32_t trillPitch = trill ? FrettedPitch(walk->track, slot, effects->trill[0]) : -1;
  uint8_t channel = wheel.needed ? walk->wheelChannel : walk->mainChannel;
  uint64_t strike = mainStart;
  uint32_t index = 0;
  if (repeat != 0) {
    // Struck again through the beat; a let-ring note then rings from its
    // last stroke.
    uint64_t repeatEnd = Min(end, shape.end);
    for (; strike + repeat < repeatEnd; strike += repeat, ++index) {
      PlayShortNote(walk, channel, index % 2 == 1 && trill ? trillPitch : pitch, velocity, strike,
                    strike + repeat);
    }
  }
  int32_t lastPitch = index % 2 == 1 && trill ? trillPitch : pitch;
  if (lastPitch < 0) return;
  StartSound(walk, sound, lastPitch, velocity, strike, end, letRing, type != kNoteTypeDead,
             wheel.needed);
  if (wheel.needed) {
    StartSegment(sound, mainStart, end, wheel, shape, mainStart, end);
    if (wheel.slideIn != 0) {
      // The slide in glides over the first sixteenth, as on its own.
      uint64_t glide = Min(context->ticksPerQuarter / 4, end - mainStart);
      sound->segment.base = {wheel.slideIn, 0, mainStart, mainStart + glide};
    }
  } else {
    ShareStrike(walk, shape.voice, sound);
  }
}

// DynamicVelocity of every dynamic byte, by accent (2) and ghost (1).
struct AccentedVelocities {
  uint8_t byDynamic[256][4];
};

constexpr AccentedVelocities MakeAccentedVelocities() {
  AccentedVelocities table = {};
  for (int32_t dynamic = 0; dynamic < 256; ++dynamic) {
    for (int32_t marks = 0; marks < 4; ++marks) {
      table.byDynamic[dynamic][marks] = DynamicVelocity(dynamic, (marks >> 1) - (marks & 1));
    }
  }
  return table;
}

constexpr AccentedVelocities kAccentedVelocities = MakeAccentedVelocities();

// Note effects that change neither the note's pitch nor its wheel and
// strike it once: let ring, staccato and palm mute at most.
bool HasPlainEffects(const NoteEffects* effects) {
  return (effects->flags1 & (kEffectBend | kEffectGrace)) == 0 &&
         (effects->flags2 & (kEffectTremoloPicking | kEffectSlide | kEffectHarmonic |
                             kEffectTrill | kEffectVibrato)) == 0;
}

// A normal note without details and with plain effects at most, in a beat
// without a stroke or wheel of its own: PlayNote's steps that such a note
// takes, and no others.
void PlayPlainNote(TrackWalk* walk, Voice* voice, const Note* note, uint32_t slot,
                   const BeatShape& shape) {
  Sound* sound = &voice->sounds[slot];
  uint64_t start = shape.start;
  uint64_t end = shape.end;
  bool letRing = false;
  const NoteEffects* effects = EffectsOf(note);
  if (effects != nullptr) {
    end = EffectedEnd(effects, start, end, shape.measureLength, &letRing);
    if (end <= start) return;
  }
  int32_t pitch = FrettedPitch(walk->track, slot, note->fret);
  uint32_t marks = (note->flags & kNoteAccent) >> 5 | (note->flags & kNoteGhost) >> 2;
  uint8_t dynamic = (note->flags & kNoteDynamic) != 0 ? note->dynamic : shape.dynamic;
  uint8_t velocity = kAccentedVelocities.byDynamic[dynamic][marks];
  if (pitch >= 0 &&
      AbsorbIntoLegato(walk, sound, pitch, start, end, letRing, shape.plainWheel, shape)) {
    return;
  }
  CloseSound(walk, sound, start, pitch);
  if (pitch < 0) return;
  StartSound(walk, sound, pitch, velocity, start, end, letRing, true, false);
  if (walk->version5) ShareStrike(walk, shape.voice, sound);
}

// The details of the note at beat `index`, slot `slot` of the voice's cell,
// or null; a beat's slots are asked for in order, and the beats in order.
const NoteExtras* NextNoteExtras(TrackWalk* walk, uint32_t voice, uint32_t index, uint32_t slot) {
  const SongExtras* extras = walk->context->extras;
  const NoteExtrasEntry* last = extras->noteExtras + extras->noteExtrasCount;
  const NoteExtrasEntry* entry = walk->nextExtras[voice];
  if (entry == nullptr) {
    entry = FirstNoteExtrasOfCell(extras, voice + 1, walk->measure, walk->trackIndex);
  }
  auto inCell = [&](const NoteExtrasEntry* e) {
    return e != last && e->measure == walk->measure && e->track == walk->trackIndex &&
           e->voice == voice + 1;
  };
  while (inCell(entry) && (entry->beat < index || (entry->beat == index && entry->slot < slot))) {
    ++entry;
  }
  walk->nextExtras[voice] = entry;
  return inCell(entry) && entry->beat == index && entry->slot == slot ? &entry->extras : nullptr;
}

// The beat `index` of a voice's cell in the walk's measure.
void PlayBeat(TrackWalk* walk, Voice* voice, const Beat* beat, uint32_t index,
              uint64_t start, uint32_t length) {
  PerformContext* context = walk->context;
  uint32_t voiceIndex = static_cast<uint32_t>(voice - walk->voices);
  if ((beat->flags & kBeatMixTable) != 0 && beat->mixTable != nullptr) {
    ApplyMixTable(walk, beat->mixTable, start);
  }
  if ((beat->flags & kBeatStatus) != 0 && beat->status == kStatusRest) CutLetRing(voice, start);
  if (!IsSounding(beat) || !walk->plays || length == 0) return;
  const uint32_t held = MarkedSlots(beat, walk->slotMask);
  if (held == 0) return;

  BeatShape shape = {};
  shape.start = start;
  shape.end = start + length;
  shape.measureLength = walk->measureLength;
  shape.dynamic = kForte;
  shape.voice = voiceIndex;
  shape.held = held;
  const NoteExtras* noteExtras[kSlotCount];
  if (walk->noteExtras) {
    memset(noteExtras, 0, sizeof noteExtras);
    shape.extras = noteExtras;
  }
  uint32_t longestGrace = 0;
  for (uint32_t rest = held; rest != 0; rest &= rest - 1) {
    uint32_t slot = LowestSlot(rest);
    const Note* note = &beat->notes[slot];
    bool onBeat = false;
    if (shape.extras != nullptr) {
      noteExtras[slot] = NextNoteExtras(walk, voiceIndex, index, slot);
      onBeat = noteExtras[slot] != nullptr && noteExtras[slot]->graceOnBeat != 0;
    }
    // A version 5 note without a dynamic of its own plays forte: the
    // format stores every other dynamic with its note.
    if ((note->flags & kNoteDynamic) != 0 && !walk->version5) shape.dynamic = note->dynamic;
    if (HasGrace(note) && !onBeat) {
      uint32_t grace = GraceTicks(context, EffectsOf(note)->grace[3]);
      if (grace > longestGrace) longestGrace = grace;
    }
  }
  const BeatEffects* effects = (beat->flags & kBeatEffects) != 0 ? beat->effects : nullptr;
  if (effects != nullptr) {
    if ((effects->flags1 & kBeatWideVibrato) != 0) {
      shape.vibrato = kWideVibratoCents;
    } else if ((effects->flags1 & kBeatVibrato) != 0) {
      shape.vibrato = kVibratoCents;
    }
    if ((effects->flags2 & kBeatTremoloBar) != 0) shape.bar = effects->tremoloBar;
    ShapeStroke(context, effects, &shape);
    shape.plainWheel = WheelOf(nullptr, nullptr, shape);
  }
  // A grace note takes its time from what sounds before it; with nothing
  // before it, it sounds on the beat and delays its note.
  shape.gracesBefore = longestGrace != 0 && start >= longestGrace &&
                       CutSoundsAt(voice, start - longestGrace);
  bool plainBeat = shape.strokeStep == 0 && !shape.plainWheel.needed;
  for (uint32_t rest = held; rest != 0; rest &= rest - 1) {
    uint32_t slot = LowestSlot(rest);
    const Note* note = &beat->notes[slot];
    if (plainBeat && (note->flags & kNotePlayable) != 0 && note->type == kNoteTypeNormal &&
        (EffectsOf(note) == nullptr || HasPlainEffects(note->effects)) &&
        (shape.extras == nullptr || shape.extras[slot] == nullptr)) {
      PlayPlainNote(walk, voice, note, slot, shape);
    } else {
      PlayNote(walk, voice, beat, slot, shape);
    }
  }
}

// Where a voice has got to in its cell.
struct VoiceCursor {
  const TrackMeasure* cell;
  uint32_t beat;
  uint32_t position;  // plain sixty-fourths before the beat, for the triplet feel
  uint64_t tick;
};

// The voices of the track's cell, each its beats one after another from the
// measure's start, taken in the order the beats start (the first voice's
// first), so that a voice meets the other's sounds of the same tick.
void PlayMeasure(TrackWalk* walk, uint32_t measure, uint64_t start, uint32_t measureLength) {
  PerformContext* context = walk->context;
  walk->measure = measure;
  walk->measureLength = measureLength;
  walk->nextExtras[0] = walk->nextExtras[1] = nullptr;
  Swing swing = MeasureSwing(context, measure);
  const TrackMeasure* second = VoiceCell(context, 1, measure, walk->trackIndex);
  if (second == nullptr) {
    // Most cells have one voice: its beats one after another.
    const TrackMeasure* cell = VoiceCell(context, 0, measure, walk->trackIndex);
    if (cell == nullptr) return;
    uint64_t tick = start;
    uint32_t position = 0;
    for (uint32_t b = 0; b < cell->beatCount && context->status == kPerformDone; ++b) {
      const Beat* beat = &cell->beats[b];
      uint32_t ticks = NextBeatTicks(context, beat, &position, swing);
      PlayBeat(walk, &walk->voices[0], beat, b, tick, ticks);
      tick += ticks;
    }
    return;
  }
  VoiceCursor cursors[kVoiceCount] = {
      {VoiceCell(context, 0, measure, walk->trackIndex), 0, 0, start}, {second, 0, 0, start}};
  while (context->status == kPerformDone) {
    uint32_t voice = kVoiceCount;
    for (uint32_t v = 0; v < kVoiceCount; ++v) {
      const VoiceCursor& c = cursors[v];
      if (c.cell == nullptr || c.beat >= c.cell->beatCount) continue;
      if (voice == kVoiceCount || c.tick < cursors[voice].tick) voice = v;
    }
    if (voice == kVoiceCount) break;
    VoiceCursor& c = cursors[voice];
    const Beat* beat = &c.cell->beats[c.beat];
    uint32_t ticks = NextBeatTicks(context, beat, &c.position, swing);
    PlayBeat(walk, &walk->voices[voice], beat, c.beat, c.tick, ticks);
    c.tick += ticks;
    ++c.beat;
  }
}

void SetUpWalk(PerformContext* context, uint32_t index, TrackWalk* walk) {
  memset(walk, 0, sizeof *walk);
  walk->context = context;
  walk->track = &context->song->tracks[index];
  walk->trackIndex = index;
  walk->version5 = context->version5;
  walk->noteExtras = context->extras != nullptr && context->extras->noteExtrasCount != 0;
  const Track* track = walk->track;
  uint32_t strings = static_cast<uint32_t>(track->stringCount);
  walk->slotMask = (1u << (strings < kSlotCount ? strings : kSlotCount)) - 1;
  walk->pair = TrackChannelPair(track);
  bool hasMain = IsValidOneBased(track->midiChannel, kChannelCount);
  walk->plays = hasMain && walk->slotMask != 0;
  walk->mainChannel = hasMain ? walk->pair.channels[0] : 0;
  // The pair holds a second channel only when the effects channel is valid
  // and not the main one.
  walk->wheelChannel = walk->pair.count == 2 ? walk->pair.channels[1] : walk->mainChannel;
  for (Voice& voice : walk->voices) {
    for (Sound& sound : voice.sounds) sound.lastWheel = kWheelCentre;
  }
}

// The next measure's beats lie beyond the other tracks' beats of this one,
// where the processor does not look ahead: the first of them are asked for
// while this measure plays.
void PrefetchBeats(const TrackMeasure* cell) {
  constexpr size_t kPrefetchBytes = 1024;
  constexpr size_t kCacheLine = 64;
  if (cell == nullptr) return;
  const char* bytes = reinterpret_cast<const char*>(cell->beats);
  size_t size = cell->beatCount < kPrefetchBytes / sizeof(Beat) ? cell->beatCount * sizeof(Beat)
                                                                 : kPrefetchBytes;
  for (size_t at = 0; at < size; at += kCacheLine) __builtin_prefetch(bytes + at);
}

}  // namespace

void PerformTrack(PerformContext* context, uint32_t index) {
  TrackWalk walk;
  SetUpWalk(context, index, &walk);
  if (context->playedAll) {
    uint64_t start = 0;
    for (uint32_t i = 0; i < context->playedCount && context->status == kPerformDone; ++i) {
      const PerformContext::PlayedMeasure& played = context->played[i];
      if (i + 1 < context->playedCount) {
        uint32_t next = context->played[i + 1].measure;
        PrefetchBeats(VoiceCell(context, 0, next, index));
        if (walk.version5) PrefetchBeats(VoiceCell(context, 1, next, index));
      }
      PlayMeasure(&walk, played.measure, start, played.length);
      start += played.length;
    }
  } else {
    MeasureWalk at;
    StartMeasureWalk(context, &at);
    while (context->status == kPerformDone && NextMeasure(context, &at)) {
      PlayMeasure(&walk, at.measure, at.start, at.length);
    }
  }
  for (Voice& voice : walk.voices) {
    for (Sound& sound : voice.sounds) CloseSound(&walk, &sound, UINT64_MAX, -1);
  }
}

}  // namespace Tolvenar
