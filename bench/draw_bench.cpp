// Google Benchmark of one effect's Draw through the do-nothing drawing layer, at the
// default setting and, for a count setting, at the largest count.
#include <benchmark/benchmark.h>

#include "effect_run.h"
#include "null_win32.h"
#include "plugin.h"

static void BM_Draw(benchmark::State& state) {
  StartEffect(static_cast<int32_t>(state.range(0)));
  const int64_t itemsPerFrame = int64_t{ElementsPerFrame()} * ITEMS_PER_ELEMENT;
  for (auto _ : state) {
    Draw(0, 0, BenchDc());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * itemsPerFrame);
  Quit();
}

#if COUNT_SETTING
BENCHMARK(BM_Draw)->Arg(0)->Arg(4096);
#else
BENCHMARK(BM_Draw)->Arg(0);
#endif

BENCHMARK_MAIN();
