#!/bin/sh
# Compares the library's defined dynamic symbols (demangled, without
# parameter lists) with the expected list.
set -eu
library=$1
expected=$2
actual=$(mktemp)
trap 'rm -f "$actual"' EXIT
nm -D --defined-only -C "$library" | cut -d' ' -f3- | sed 's/(.*//' | sort -u >"$actual"
if ! diff -u "$expected" "$actual"; then
  echo "exported symbols of $library differ from $expected" >&2
  exit 1
fi
