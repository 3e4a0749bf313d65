#!/usr/bin/env bash
# Builds the fuzz targets (clang, build/fuzz) and runs them one after another.
#
#   tools/fuzz.sh [--runs N | --time SECONDS] [particle|vectrel|line ...]
#
# Each target runs N inputs (default 30000, as in tools/test.sh) or for SECONDS, from
# its corpus in build/fuzz/corpus/<target>, which grows from run to run. A failing
# input is written to build/fuzz/findings/<target>/ and the script fails; replay it
# with build/fuzz/<target>_fuzz FILE.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

limit=(-runs=30000)
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) limit=(-runs="$2"); shift 2 ;;
    --time) limit=(-max_total_time="$2"); shift 2 ;;
    particle|vectrel|line) targets+=("$1"); shift ;;
    *) echo "usage: tools/fuzz.sh [--runs N | --time SECONDS] [particle|vectrel|line ...]" >&2; exit 2 ;;
  esac
done
[ ${#targets[@]} -gt 0 ] || targets=(particle vectrel line)

"$root/tools/install-deps.sh" || exit 1
build_fuzz || exit 1

status=0
for target in "${targets[@]}"; do
  corpus=$root/build/fuzz/corpus/$target
  findings=$root/build/fuzz/findings/$target
  mkdir -p "$corpus" "$findings"
  echo "== $target"
  log=$root/build/fuzz/$target.log
  if "$root/build/fuzz/${target}_fuzz" "${limit[@]}" -timeout=10 -print_final_stats=1 \
      -artifact_prefix="$findings/" "$corpus" >"$log" 2>&1; then
    grep -E '^(Done|stat::(number_of_executed_units|average_exec_per_sec|new_units_added))' "$log"
  else
    tail -n 60 "$log"
    echo "$target: finding kept in $findings (whole output: $log)"
    status=1
  fi
done
exit $status
