// Point merging on the plates workload and on shapes that crowd the box's cells:
// one large flat plate and stacked drums. Items are points merged.
#include "bench_models.h"

#include "merge/PtMerger.h"

#include <benchmark/benchmark.h>

namespace {

long total_points() {
  long n = 0;
  for (const Grid* g : Grid::gGrids) n += (long)g->mPts.size();
  return n;
}

void run_merge(benchmark::State& state) {
  for (auto _ : state) merge_grid_pts();
  state.SetItemsProcessed(state.iterations() * total_points());
}

// K x K plates of n x n cells: 1M quadrilaterals at (10, 100), 4M at (10, 200).
void BM_MergePlates(benchmark::State& state) {
  build_plates((int)state.range(0), (int)state.range(1));
  run_merge(state);
  Grid::destroy_grids();
}
BENCHMARK(BM_MergePlates)->Args({10, 100})->Args({10, 200})->Unit(benchmark::kMillisecond);

// One flat plate: every point of the model lies in one layer of box cells.
void BM_MergeOnePlate(benchmark::State& state) {
  build_plates(1, (int)state.range(0));
  run_merge(state);
  Grid::destroy_grids();
}
BENCHMARK(BM_MergeOnePlate)->Arg(1000)->Arg(2000)->Unit(benchmark::kMillisecond);

// Tolerance 0 (the default): only exactly coincident points join.
void BM_MergePlatesExact(benchmark::State& state) {
  build_plates(10, (int)state.range(0), 0);
  run_merge(state);
  Grid::destroy_grids();
}
BENCHMARK(BM_MergePlatesExact)->Arg(100)->Unit(benchmark::kMillisecond);

void BM_MergeDrums(benchmark::State& state) {
  build_drums(16, 500, 125);
  run_merge(state);
  Grid::destroy_grids();
}
BENCHMARK(BM_MergeDrums)->Unit(benchmark::kMillisecond);

}  // namespace
