// The lists of timed events a performance gathers before it writes them.
#include <cstdlib>
#include <cstring>

#include "perform/perform_internal.h"

namespace Tolvenar {
namespace {

// Every event takes at least three bytes in the file (a delta byte and two
// data bytes under running status), so a list that long already passes the
// limit and need not be written to know it.
constexpr uint64_t kFewestEventBytes = 3;
constexpr uint32_t kMostEvents = 1u << 30;

bool Grow(TimedList* list) {
  uint64_t capacity = list->capacity == 0 ? 256 : uint64_t{list->capacity} * 2;
  if (capacity > kMostEvents) capacity = kMostEvents;
  if (capacity <= list->count) return false;
  uint64_t bytes = capacity * sizeof(uint64_t);
  if (bytes > SIZE_MAX) return false;
  // Each block is kept as soon as it has grown, so a refusal leaves the
  // list whole at its old capacity.
  void* items = realloc(list->items, static_cast<size_t>(bytes));
  if (items == nullptr) return false;
  list->items = static_cast<uint64_t*>(items);
  void* scratch = realloc(list->scratch, static_cast<size_t>(bytes));
  if (scratch == nullptr) return false;
  list->scratch = static_cast<uint64_t*>(scratch);
  list->capacity = static_cast<uint32_t>(capacity);
  return true;
}

}  // namespace

void FreeTimedList(TimedList* list) {
  free(list->items);
  free(list->scratch);
  list->items = list->scratch = nullptr;
  list->count = list->capacity = list->dropped = list->fastEnd = 0;
}

namespace {

// Events in both lists still to be written.
uint64_t LiveEvents(const PerformContext* context) {
  return uint64_t{context->events.count} - context->events.dropped + context->conductor.count -
         context->conductor.dropped;
}

// The track's list may take events without checks while it has room and
// the lists stay under liveLimit; the conductor's few events are always
// checked, so that this holds whichever list grows.
void SetFastEnd(PerformContext* context) {
  TimedList* list = &context->events;
  uint64_t live = LiveEvents(context);
  uint64_t under = context->liveLimit > live ? context->liveLimit - live : 0;
  uint64_t room = list->capacity - list->count;
  list->fastEnd = list->count + static_cast<uint32_t>(under < room ? under : room);
}

}  // namespace

void UpdateLiveLimit(PerformContext* context) {
  uint64_t room = context->maxBytes > context->fileBytes ? context->maxBytes - context->fileBytes : 0;
  context->liveLimit = room / kFewestEventBytes;
  SetFastEnd(context);
}

uint32_t AddTimedSlowly(PerformContext* context, TimedList* list, uint64_t tick, uint8_t kind,
                        uint32_t data) {
  if (context->status != kPerformDone) return UINT32_MAX;
  if (tick > kMaxTick || LiveEvents(context) >= context->liveLimit) {
    context->status = kPerformTooLarge;
    return UINT32_MAX;
  }
  if (list->count == list->capacity && !Grow(list)) {
    context->status = kPerformOutOfMemory;
    return UINT32_MAX;
  }
  list->items[list->count] = tick << 32 | uint64_t{kind} << kKindShift | data;
  uint32_t index = list->count++;
  SetFastEnd(context);
  return index;
}

// Least significant digit first, eleven bits a pass, over the tick and kind
// only: every pass keeps the order it finds, so equal ticks and kinds stay in
// the order they were added in. The counts of every pass come from one read.
void SortTimedList(TimedList* list) {
  constexpr uint32_t kDigitBits = 11;
  constexpr uint32_t kDigits = 1u << kDigitBits;
  constexpr uint32_t kMostPasses = (64 - kKindShift + kDigitBits - 1) / kDigitBits;
  uint64_t highest = 0;
  for (uint32_t i = 0; i < list->count; ++i) highest |= list->items[i];
  uint32_t passes = 0;
  while (passes < kMostPasses && (highest >> (kKindShift + passes * kDigitBits)) != 0) ++passes;
  if (passes == 0) return;
  static_assert(kMostPasses <= 4, "digit tables");
  // Only the tables of the passes taken are cleared: a short list of a
  // short song would otherwise spend more on the tables than on its events.
  uint32_t starts[4][kDigits];
  memset(starts, 0, passes * sizeof starts[0]);
  for (uint32_t i = 0; i < list->count; ++i) {
    uint64_t key = list->items[i] >> kKindShift;
    for (uint32_t p = 0; p < passes; ++p) ++starts[p][(key >> (p * kDigitBits)) & (kDigits - 1)];
  }
  uint64_t* from = list->items;
  uint64_t* to = list->scratch;
  for (uint32_t p = 0; p < passes; ++p) {
    uint32_t* start = starts[p];
    uint32_t sum = 0;
    for (uint32_t d = 0; d < kDigits; ++d) {
      uint32_t here = start[d];
      start[d] = sum;
      sum += here;
    }
    uint32_t shift = kKindShift + p * kDigitBits;
    for (uint32_t i = 0; i < list->count; ++i) to[start[(from[i] >> shift) & (kDigits - 1)]++] = from[i];
    uint64_t* swap = from;
    from = to;
    to = swap;
  }
  list->items = from;
  list->scratch = to;
}

}  // namespace Tolvenar
