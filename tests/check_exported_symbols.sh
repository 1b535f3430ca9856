#!/bin/sh
# Compares the library's defined dynamic symbols (demangled, without
# parameter lists) with the expected list, both sorted bytewise.
set -eu
library=$1
expected=$2
want=$(mktemp)
have=$(mktemp)
trap 'rm -f "$want" "$have"' EXIT
LC_ALL=C sort -u "$expected" >"$want"
# AddressSanitizer adds an __odr_asan.<name> indicator for each exported
# global; it belongs to the sanitizer build, not to the interface.
nm -D --defined-only -C "$library" | cut -d' ' -f3- | sed 's/(.*//; /^__odr_asan\./d' |
  LC_ALL=C sort -u >"$have"
if ! diff -u "$want" "$have"; then
  echo "exported symbols of $library differ from $expected" >&2
  exit 1
fi
