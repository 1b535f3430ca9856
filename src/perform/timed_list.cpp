// The lists of timed events a performance gathers before it writes them.
#include <cstdlib>

#include "perform/perform_internal.h"

namespace Tolvenar {
namespace {

// Every event takes at least three bytes in the file (a delta byte and two
// data bytes under running status), so a list that long already passes the
// limit and need not be written to know it.
constexpr uint64_t kFewestEventBytes = 3;

bool Grow(TimedList* list) {
  if (list->count < list->capacity) return true;
  uint64_t capacity = list->capacity == 0 ? 64 : uint64_t{list->capacity} * 2;
  if (capacity > uint64_t{kMaxSequence} + 1) capacity = uint64_t{kMaxSequence} + 1;
  if (capacity <= list->count) return false;
  uint64_t bytes = capacity * sizeof(TimedEvent);
  uint64_t orderBytes = capacity * sizeof(uint64_t);
  if (bytes > SIZE_MAX || orderBytes > SIZE_MAX) return false;
  // Each block is kept as soon as it has grown, so a refusal leaves the
  // list whole at its old capacity.
  void* items = realloc(list->items, static_cast<size_t>(bytes));
  if (items == nullptr) return false;
  list->items = static_cast<TimedEvent*>(items);
  void* order = realloc(list->order, static_cast<size_t>(orderBytes));
  if (order == nullptr) return false;
  list->order = static_cast<uint64_t*>(order);
  void* scratch = realloc(list->scratch, static_cast<size_t>(orderBytes));
  if (scratch == nullptr) return false;
  list->scratch = static_cast<uint64_t*>(scratch);
  list->capacity = static_cast<uint32_t>(capacity);
  return true;
}

}  // namespace

void FreeTimedList(TimedList* list) {
  free(list->items);
  free(list->order);
  free(list->scratch);
  list->items = nullptr;
  list->order = list->scratch = nullptr;
  list->count = list->capacity = list->live = 0;
}

uint32_t AddTimed(PerformContext* context, TimedList* list, uint64_t tick, uint8_t kind,
                  uint8_t channel, uint8_t data1, uint8_t data2) {
  if (context->status != kPerformDone) return UINT32_MAX;
  uint64_t live = uint64_t{context->events.live} + context->conductor.live + 1;
  if (tick > kMaxTick || list->count >= kMaxSequence ||
      context->fileBytes + live * kFewestEventBytes > context->maxBytes) {
    context->status = kPerformTooLarge;
    return UINT32_MAX;
  }
  if (!Grow(list)) {
    context->status = kPerformOutOfMemory;
    return UINT32_MAX;
  }
  uint32_t index = list->count++;
  ++list->live;
  TimedEvent* event = &list->items[index];
  event->tick = static_cast<uint32_t>(tick);
  event->kind = kind;
  event->channel = channel;
  event->data1 = data1;
  event->data2 = data2;
  event->value = 0;
  return index;
}

// Least significant digit first, eleven bits a pass, over the bits above the
// index only: the indexes go in ascending, and every pass keeps the order it
// finds, so equal ticks and kinds stay in the order they were added in.
void SortTimedList(TimedList* list) {
  constexpr uint32_t kDigitBits = 11;
  constexpr uint32_t kDigits = 1u << kDigitBits;
  uint64_t highest = 0;
  for (uint32_t i = 0; i < list->count; ++i) {
    const TimedEvent& event = list->items[i];
    uint64_t order = uint64_t{event.tick} << 31 | uint64_t{event.kind} << 28 | i;
    list->order[i] = order;
    highest |= order;
  }
  uint64_t* from = list->order;
  uint64_t* to = list->scratch;
  for (uint32_t shift = 28; shift < 64 && (highest >> shift) != 0; shift += kDigitBits) {
    uint32_t counts[kDigits] = {};
    for (uint32_t i = 0; i < list->count; ++i) ++counts[(from[i] >> shift) & (kDigits - 1)];
    uint32_t sum = 0;
    for (uint32_t& count : counts) {
      uint32_t here = count;
      count = sum;
      sum += here;
    }
    for (uint32_t i = 0; i < list->count; ++i) to[counts[(from[i] >> shift) & (kDigits - 1)]++] = from[i];
    uint64_t* swap = from;
    from = to;
    to = swap;
  }
  list->order = from;
  list->scratch = to;
}

}  // namespace Tolvenar
