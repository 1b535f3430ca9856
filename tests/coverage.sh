#!/usr/bin/env bash
# Builds the coverage preset, runs the whole test suite and prints the line
# and branch coverage of src/ per file and per folder (needs gcovr).
#   tests/coverage.sh            # summary on the terminal
#   tests/coverage.sh --html     # also build/coverage/html/index.html
set -euo pipefail
cd "$(dirname "$0")/.."
command -v gcovr >/dev/null || { echo "coverage: gcovr is missing (apt-get install gcovr)" >&2; exit 1; }

cmake --preset coverage >/dev/null
cmake --build --preset coverage >/dev/null
find build/coverage -name '*.gcda' -delete
# gcov's own symbols land in the instrumented library's symbol table, so
# the exported-symbols check does not apply to this build.
ctest --test-dir build/coverage -j 2 --output-on-failure -E '^exported_symbols$' | tail -n 3

# gcov's complaints about CMake's compiler probe are dropped (2>/dev/null).
# Branches that only exception handling adds are left out, so the branch
# figures count the library's own decisions.
options=(--root . --object-directory build/coverage --exclude-throw-branches
         --exclude-unreachable-branches)
gcovr "${options[@]}" --filter 'src/' --txt build/coverage/lines.txt 2>/dev/null
gcovr "${options[@]}" --filter 'src/' --branches --txt build/coverage/branches.txt 2>/dev/null
echo "per file: build/coverage/lines.txt, build/coverage/branches.txt"
for dir in song midi convert flat; do
  summary=$(gcovr "${options[@]}" --filter "src/$dir/" --print-summary --txt build/coverage/summary.txt 2>/dev/null)
  echo "src/$dir: $(echo "$summary" | grep -E '^(lines|branches):' | tr '\n' ' ')"
done
echo "src/ total: $(gcovr "${options[@]}" --filter 'src/' --print-summary --txt build/coverage/summary.txt 2>/dev/null |
  grep -E '^(lines|branches):' | tr '\n' ' ')"
if [ "${1:-}" = "--html" ]; then
  mkdir -p build/coverage/html
  gcovr "${options[@]}" --filter 'src/' --html-details build/coverage/html/index.html 2>/dev/null
fi
