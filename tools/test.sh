#!/usr/bin/env bash
# Runs every test: the native unit tests (with AddressSanitizer and UndefinedBehavior-
# Sanitizer), the tests of the shipped plug-ins under Wine and a short run of each
# fuzz target.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

"$root/tools/install-deps.sh" || exit 1

cmake -S "$root" -B "$root/build/native" -DCMAKE_BUILD_TYPE=Debug >/dev/null || exit 1
cmake --build "$root/build/native" -j "$jobs" || exit 1
build_win32 || exit 1
build_fuzz || exit 1
start_wine

passed=0
failed=0
status=0
for tree in native win32 fuzz; do
  echo "== $tree tests"
  log=$(mktemp)
  # Under Wine, a test program that passed has been seen to die of a Unix signal while
  # the process ended (once in some hundred runs, with two running at a time). Such a
  # test runs once more; a test that fails its checks fails both times.
  retry=()
  [ "$tree" = win32 ] && retry=(--repeat until-pass:2)
  (cd "$root/build/$tree" && ctest --output-on-failure -j "$jobs" "${retry[@]}") 2>&1 | tee "$log"
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
  summary=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
  if [ -z "$summary" ]; then
    status=1
  else
    total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$summary")
    bad=$(sed -E 's/.*passed, ([0-9]+) tests failed.*/\1/' <<<"$summary")
    passed=$((passed + total - bad))
    failed=$((failed + bad))
  fi
  rm -f "$log"
done
echo "tests: $passed passed, $failed failed"
exit $status
