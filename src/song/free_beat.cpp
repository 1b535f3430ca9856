// Release of a beat and everything it owns: notes' effects, bend curves,
// chord diagram, beat effects, text and mix-table change.
#include <cstdint>
#include <cstdlib>

#include "song/song_internal.h"

namespace Tolvenar {

void FreeBendCurve(BendCurve** curve) {
  if (!*curve) return;
  free((*curve)->points);
  free(*curve);
  *curve = nullptr;
}

void FreeNoteEffects(NoteEffects** effects) {
  if (!*effects) return;
  FreeBendCurve(&(*effects)->bend);
  free(*effects);
  *effects = nullptr;
}

void FreeChordDiagram(ChordDiagram** chord) {
  if (!*chord) return;
  free((*chord)->name);
  free(*chord);
  *chord = nullptr;
}

void FreeBeatEffects(BeatEffects** effects) {
  if (!*effects) return;
  FreeBendCurve(&(*effects)->tremoloBar);
  free(*effects);
  *effects = nullptr;
}

void FreeNote(Note* note) { FreeNoteEffects(&note->effects); }

// Most beats own nothing but plain notes. The pointers are or-ed together
// rather than tested one by one, so such a beat costs a few loads.
static bool OwnsAttachments(const Beat* beat) {
  uintptr_t owned = reinterpret_cast<uintptr_t>(beat->chord) |
                    reinterpret_cast<uintptr_t>(beat->text) |
                    reinterpret_cast<uintptr_t>(beat->effects) |
                    reinterpret_cast<uintptr_t>(beat->mixTable);
  for (const Note& note : beat->notes) owned |= reinterpret_cast<uintptr_t>(note.effects);
  return owned != 0;
}

static void FreeAttachments(Beat* beat) {
  FreeChordDiagram(&beat->chord);
  free(beat->text);
  beat->text = nullptr;
  FreeBeatEffects(&beat->effects);
  free(beat->mixTable);
  beat->mixTable = nullptr;
  for (Note& note : beat->notes) FreeNote(&note);
}

void FreeBeat(Beat* beat) {
  if (OwnsAttachments(beat)) FreeAttachments(beat);
}

// The ownership test inline in the loop: most beats need nothing more.
void FreeBeats(Beat* beats, uint32_t count) {
  for (uint32_t b = 0; b < count; ++b) {
    if (OwnsAttachments(&beats[b])) FreeAttachments(&beats[b]);
  }
}

}  // namespace Tolvenar
