#!/usr/bin/env bash
# Benchmarks of the plug-ins (not part of the tests), ending in one table:
# - native (Linux) builds of each effect over a do-nothing drawing layer, optimised
#   -O2 and with the flags the shipped DLLs use (-Os ...), without sanitizers: Google
#   Benchmark times of Draw, and callgrind instruction counts of Draw less those of
#   the drawing calls;
# - the shipped DLLs under Wine: Draw against a bare loop of the same GDI calls, file
#   sizes and heap use (bench/wine_bench.cpp).
# BENCH_ROUNDS (default 5) and BENCH_PAIRS (default 100) trade time for steadiness.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

"$root/tools/install-deps.sh" libbenchmark-dev valgrind
rounds=${BENCH_ROUNDS:-5}
pairs=${BENCH_PAIRS:-100}
jobs=$(( jobs > 2 ? 2 : jobs ))

# The shipped flags that matter to the code of Draw (Effects.cmake); -s and the
# linker's section garbage collection change no instruction of it.
declare -A flags=(
  [O2]="-O2"
  [Os]="-Os;-fno-exceptions;-fno-rtti;-fno-threadsafe-statics;-ffunction-sections;-fdata-sections"
)
for tree in O2 Os; do
  cmake -S "$root" -B "$root/build/bench/$tree" -DZVX_BENCH=ON -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_CXX_FLAGS_RELEASE="-DNDEBUG" -DZVX_BENCH_FLAGS="${flags[$tree]}" >/dev/null
  cmake --build "$root/build/bench/$tree" -j "$jobs" >/dev/null
done
build_win32 >/dev/null

results=$(mktemp -d)
trap 'rm -rf "$results"' EXIT
figures=$results/figures  # lines "<plug-in> <figure> <value>"

# ---- Native times: rounds of both builds in turn, medians over the rounds ----
# Google Benchmark's JSON: of each "_median" aggregate, the CPU time and the items per
# CPU second (CPU time, as other work shares this machine).
medians() {
  awk -F': ' '/"name":/ { gsub(/[",]/, "", $2); name = $2 }
    /"cpu_time":/ && name ~ /_median$/ { gsub(/,/, "", $2); time = $2 }
    /"items_per_second":/ && name ~ /_median$/ { gsub(/,/, "", $2); sub(/_median$/, "", name); print name, time, $2 }' "$1"
}
echo "native timing: $rounds rounds" >&2
for ((round = 0; round < rounds; round++)); do
  for tree in O2 Os; do
    for effect in particle vectrel line; do
      out=$results/$effect-$tree.json
      "$root/build/bench/$tree/bench/${effect}_bench" --benchmark_repetitions=3 --benchmark_min_time=0.05 \
        --benchmark_report_aggregates_only=true --benchmark_out="$out" --benchmark_out_format=json \
        >/dev/null 2>"$results/log" || { cat "$results/log" >&2; exit 1; }
      medians "$out" | while read -r name time items; do
        count=${name#BM_Draw/}
        echo "$effect $tree-$count $time $items" >>"$results/native"
      done
    done
  done
done
awk '{ key = $1 " " $2; times[key] = times[key] " " $3; items[key] = items[key] " " $4 }
  function median(list,   v, n, i, j, t) {
    n = split(list, v, " ")
    for (i = 2; i <= n; i++) for (j = i; j > 1 && v[j - 1] + 0 > v[j] + 0; j--) { t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
    return n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
  }
  END { for (key in times) { split(key, k, " ")
    print k[1], "ns_per_frame_" k[2], median(times[key])
    print k[1], "ns_per_item_" k[2], 1e9 / median(items[key]) } }' "$results/native" >>"$figures"

# ---- Native instruction counts under callgrind ----
# Counted only inside Draw (--toggle-collect), less what the do-nothing drawing
# functions themselves execute; the effect's own argument set-up and call
# instructions stay in. Instruction counts do not depend on the machine's load.
drawing='SetPixel|CreatePen|SelectObject|DeleteObject|MoveToEx|LineTo|TextOutA'
count_instructions() {  # tree effect count frames items_per_element
  local out=$results/callgrind.out elements
  elements=$(valgrind --tool=callgrind --callgrind-out-file="$out" --toggle-collect='Draw(*' \
    "$root/build/bench/$1/bench/$2_frames" "$3" "$4" 2>/dev/null)
  callgrind_annotate --inclusive=no --threshold=100 "$out" |
    awk -v effect="$2" -v key="$1-$3" -v frames="$4" -v items="$5" -v elements="$elements" -v drawing="$drawing" '
      { value = $1; gsub(/,/, "", value) }
      /PROGRAM TOTALS/ { total = value }
      $0 ~ ":(" drawing ")\\(" { excluded += value }
      END { print effect, "instructions_per_item_" key, (total - excluded) / (frames * elements * items) }'
}
echo "instruction counts" >&2
for tree in O2 Os; do
  count_instructions "$tree" particle 0 2000 16 >>"$figures"
  count_instructions "$tree" particle 4096 20 16 >>"$figures"
  count_instructions "$tree" line 0 200 1 >>"$figures"
  count_instructions "$tree" line 4096 50 1 >>"$figures"
  count_instructions "$tree" vectrel 0 1000 1 >>"$figures"
done

# ---- The shipped i686 code: its loop read from the object, as valgrind cannot run
# 32-bit programs here. Per pixel: one SetPixel; per segment: MoveToEx and LineTo.
loop_instructions() {  # effect calls_per_item
  local object=$root/build/win32/$1/CMakeFiles/$1.dir/$1.cpp.obj
  [ -f "$object" ] || { echo "bench.sh: no $object" >&2; exit 1; }
  echo "$1 instructions_per_item_dll $(i686-w64-mingw32-objdump -d --no-show-raw-insn "$object" |
    awk -v sym=__Z4DrawjjP5HDC__ -v callsPerItem="$2" -f "$root/bench/loop_instructions.awk")"
}
loop_instructions particle 1 >>"$figures"
loop_instructions line 2 >>"$figures"

# ---- The shipped DLLs under Wine ----
echo "under Wine: $pairs pairs" >&2
start_wine
"$root/tools/wine.sh" "$root/build/win32/bin/wine_bench.exe" "$pairs" | tr -d '\r' >>"$figures"

# ---- The table ----
# Budgets are judged on the shipped flags: the DLL's own loop where it can be read
# exactly, and the native -Os build.
awk '
  { figure[$1 " " $2] = $3 }
  function time(ns) {
    if (ns == "") return "-"
    if (ns >= 1e6) return sprintf("%.2f ms", ns / 1e6)
    if (ns >= 1e3) return sprintf("%.2f us", ns / 1e3)
    return sprintf("%.2f ns", ns)
  }
  function num(v, format) { return v == "" ? "-" : sprintf(format, v) }
  function verdict(v, most) { return v == "" ? "?" : (v + 0 <= most ? "ok" : "OVER") }
  function row(plugin, what, o2, os, dll, budget, ok) {
    printf "%-9s %-48s %11s %11s %11s %8s  %s\n", plugin, what, o2, os, dll, budget, ok
  }
  END {
    row("plug-in", "measurement", "native -O2", "native -Os", "DLL i686", "budget", "")
    split("particle line vectrel", plugins, " ")
    item["particle"] = "pixel"; item["line"] = "segment"; item["vectrel"] = "frame"
    label["particle 0"] = "32 particles"; label["particle 4096"] = "4096 particles"
    label["line 0"] = "1024 lines"; label["line 4096"] = "4096 lines"; label["vectrel 0"] = "default text"
    most["particle"] = 30; most["line"] = 25; most["vectrel"] = 2000
    for (p = 1; p <= 3; p++) {
      e = plugins[p]
      for (n = 0; n <= 4096; n += 4096) {
        if (!((e " " n) in label)) continue
        what = "Draw, " label[e " " n] ": "
        row(e, what "time per frame", time(figure[e " ns_per_frame_O2-" n]), time(figure[e " ns_per_frame_Os-" n]), "", "", "")
        if (e != "vectrel")
          row(e, what "time per " item[e], time(figure[e " ns_per_item_O2-" n]), time(figure[e " ns_per_item_Os-" n]), "", "", "")
        os = figure[e " instructions_per_item_Os-" n]
        row(e, what "instructions per " item[e], num(figure[e " instructions_per_item_O2-" n], "%.1f"), num(os, "%.1f"), "", "<= " most[e], verdict(os, most[e]))
      }
      if (e != "vectrel") {
        dll = figure[e " instructions_per_item_dll"]
        row(e, "Draw: instructions per " item[e] " of its loop", "", "", dll, "<= " most[e], dll ~ /^[0-9.]+$/ ? verdict(dll, most[e]) : "")
        row(e, "Wine, 4096: Draw, " figure[e " gdi_calls_per_frame"] " GDI calls a frame", "", "", time(figure[e " draw_ms"] * 1e6), "", "")
        row(e, "Wine, 4096: bare loop of the same calls", "", "", time(figure[e " bare_ms"] * 1e6), "", "")
        row(e, "Wine, 4096: Draw / bare loop, median of " figure[e " pairs"] " pairs", "", "", num(figure[e " ratio"], "%.4f"), "<= 1.05", verdict(figure[e " ratio"], 1.05))
        row(e, "Wine, 4096: Draw / bare loop, quartiles", "", "", figure[e " ratio_quartiles"], "", "")
      }
      row(e, "file size in bytes", "", "", figure[e " file_bytes"], "<= 32768", verdict(figure[e " file_bytes"], 32768))
      row(e, "heap bytes Init takes per " (e == "vectrel" ? "byte of text" : "element"), "", "", num(figure[e " heap_bytes_per_element"], "%.2f"), "", "")
      row(e, "heap allocations in 1000 Draw calls", "", "", figure[e " heap_calls_in_1000_draws"], "0", verdict(figure[e " heap_calls_in_1000_draws"], 0))
    }
    print ""
    print "Times and instruction counts are per frame and per " "pixel/segment of Draw over a do-nothing drawing layer, the"
    print "drawing calls themselves not counted; times are medians of the rounds, Wine figures medians of interleaved pairs."
  }' "$figures"
