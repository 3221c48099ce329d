// Point merging on the plates workload and on shapes that crowd the box's cells:
// one large flat plate and stacked drums. Items are points merged.
#include "bench_models.h"
#include "builders/lattice.h"

#include "merge/merge.h"

#include <benchmark/benchmark.h>

#include <chrono>

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


// A second plate of n x n cells whose x runs from x0 to x0 + 1, beside or over the first.
void build_second_plate(int n, double x0) {
  GridData gd;
  gd.M = gd.N = n;
  gd.a = bench_pt(x0, 0, 0), gd.b = bench_pt(x0 + 1, 0, 0), gd.c = bench_pt(x0 + 1, 1, 0), gd.d = bench_pt(x0, 1, 0);
  build_abcd(gd, "second");
}

// Merges the model built for it, failing any merge beyond 1 s.
void run_bounded_merge(benchmark::State& state) {
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    merge_grid_pts();
    if (std::chrono::steady_clock::now() - start > std::chrono::seconds(1)) state.SkipWithError("merge beyond 1 s");
  }
  state.SetItemsProcessed(state.iterations() * total_points());
  Grid::destroy_grids();
}

// Two adjacent plates of n x n cells: the first files every point (ptolerance 0), the
// second looks each of its points up at a tolerance of the given thousandths of the model's
// size. Before the trees, every lookup walked nearly every representative: more than 30 s
// at n = 200. Bound: a merge must stay within 1 s there.
void BM_MergeWideTolerance(benchmark::State& state) {
  const int n = (int)state.range(0);
  build_plates(1, n, 0);
  build_second_plate(n, 1);
  for (Grid* g : Grid::gGrids) g->tolerance(state.range(1) * 2.24 / 1000);
  run_bounded_merge(state);
}
// The part view at a wide ptolerance: a second plate over half of the first (tolerance 0)
// joins half its points to the first's, which its other half then looks up at 30 % of the
// model's size. Before the part's own trees: 5 s at n = 200. Same bound.
void BM_MergeWidePtolerance(benchmark::State& state) {
  const int n = (int)state.range(0);
  build_plates(1, n, 0);
  build_second_plate(n, 0.5);
  Grid::gGrids.back()->ptolerance(0.5);
  run_bounded_merge(state);
}
BENCHMARK(BM_MergeWidePtolerance)->Arg(200)->Unit(benchmark::kMillisecond);

BENCHMARK(BM_MergeWideTolerance)->Args({200, 30})->Args({200, 300})->Args({200, 1000})->Args({200, 5000})
    ->Unit(benchmark::kMillisecond);

}  // namespace
