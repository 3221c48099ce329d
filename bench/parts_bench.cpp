// Many small parts: the building step alone (no merge, no file) of N unit plates, unmoved,
// placed apart by expressions of the pass number in their corners, in a row spaced by a round
// step (mx 2: each run of moves is added as one exact total), and in a row spaced by an
// unround step and turned (every part replays every move before it). Items are parts: the
// time per part should not grow with N except in the last case.
#include "builders/builders.h"
#include "grid/Grid.h"
#include "interp/interp.h"
#include "script/scriptstream.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

void run_parts(benchmark::State& state, const std::string& moves,
               const std::string& plate = "begin p plate 1 1  0 0 0  1 0 0  1 1 0  0 1 0") {
  static const bool mapped = [] {
    map_builders("");
    map_commands();
    return true;
  }();
  (void)mapped;
  const std::string script = "set element_type quads\nrepeat " + std::to_string(state.range(0)) + " { " + moves +
                             " " + plate + " }\n";
  for (auto _ : state) {
    reset_script_state();
    scriptstream_priv s(script);
    if (!run_script(s)) state.SkipWithError("the script failed");
  }
  Grid::destroy_grids();
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_UnmovedParts(benchmark::State& state) { run_parts(state, ""); }
// One pass each: a batch run builds its model once, into memory it has not touched yet.
BENCHMARK(BM_UnmovedParts)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

// Placed by their corners, as bench/models/parts-100k.vmf: eight expressions read per pass.
void BM_PlacedParts(benchmark::State& state) {
  run_parts(state, "", "begin p plate 1 1  [2*($0%316)] [2*floor($0/316)] 0  [2*($0%316)+1] [2*floor($0/316)] 0"
                       "  [2*($0%316)+1] [2*floor($0/316)+1] 0  [2*($0%316)] [2*floor($0/316)+1] 0");
}
BENCHMARK(BM_PlacedParts)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

void BM_RowOfParts(benchmark::State& state) { run_parts(state, "mx 2"); }
BENCHMARK(BM_RowOfParts)->Arg(10000)->Arg(40000)->Unit(benchmark::kMillisecond);

void BM_TurnedRowOfParts(benchmark::State& state) { run_parts(state, "mx 0.1 rz 0.01"); }
BENCHMARK(BM_TurnedRowOfParts)->Arg(2500)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
