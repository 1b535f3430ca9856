// Wrapped allocator for the unit tests (linked with -Wl,--wrap=...).
#include "support/failing_alloc.h"

#include <cstddef>

extern "C" {
void* __real_malloc(size_t size);
void* __real_calloc(size_t count, size_t size);
void* __real_realloc(void* block, size_t size);
}

namespace {
long failAt = 0;
long calls = 0;
long long bytes = 0;
bool failed = false;

bool ShouldFail(size_t size) {
  if (failAt == 0) return false;
  ++calls;
  bytes += static_cast<long long>(size);
  if (calls == failAt) {
    failed = true;
    return true;
  }
  return false;
}
}  // namespace

namespace orlix_test {
void FailAllocationNumber(long n) {
  failAt = n;
  calls = 0;
  bytes = 0;
  failed = false;
}
long AllocationCalls() { return calls; }
long long AllocationBytes() { return bytes; }
bool AllocationFailed() { return failed; }
}  // namespace orlix_test

extern "C" {
void* __wrap_malloc(size_t size) { return ShouldFail(size) ? nullptr : __real_malloc(size); }
void* __wrap_calloc(size_t count, size_t size) {
  return ShouldFail(count * size) ? nullptr : __real_calloc(count, size);
}
void* __wrap_realloc(void* block, size_t size) {
  return ShouldFail(size) ? nullptr : __real_realloc(block, size);
}
}
