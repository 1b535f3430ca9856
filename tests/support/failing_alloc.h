// Test-only switch that makes one chosen allocation of the library fail.
// The unit-test program is linked with --wrap for malloc, calloc and realloc.
#ifndef ORLIX_TESTS_FAILING_ALLOC_H
#define ORLIX_TESTS_FAILING_ALLOC_H

namespace orlix_test {

// From now on, the n-th allocation call (1-based) returns null; every other
// call succeeds. n = 0 turns failing off.
void FailAllocationNumber(long n);
// Allocation calls counted since the last FailAllocationNumber.
long AllocationCalls();
// Bytes those calls asked for, a reallocation counted at its new size.
long long AllocationBytes();
// 1 once the chosen allocation has been refused.
bool AllocationFailed();

// Runs the action with allocation n failing, for n = 1, 2, ... until a run
// makes no more than n - 1 allocation calls; returns how many runs it made.
template <typename Action>
long SweepAllocationFailures(Action action) {
  long n = 1;
  for (;; ++n) {
    FailAllocationNumber(n);
    action();
    bool failed = AllocationFailed();
    FailAllocationNumber(0);
    if (!failed) break;
  }
  return n;
}

// The same walk in two phases: run() with allocation n failing, then, with
// failing turned off so the checks may allocate, check(result, refused).
template <typename Run, typename Check>
long SweepAllocationFailures(Run run, Check check) {
  for (long n = 1;; ++n) {
    FailAllocationNumber(n);
    auto result = run();
    bool refused = AllocationFailed();
    FailAllocationNumber(0);
    check(result, refused);
    if (!refused) return n;
  }
}

}  // namespace orlix_test

#endif
