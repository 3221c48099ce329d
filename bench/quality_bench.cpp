// Quality colours on 1M quadrilaterals (the plates model, 10 x 10 plates of 100 x 100 cells,
// merged): turning the colours on for each measure, as the menu item does — measuring every
// element, colouring the display's faces and sorting out the worst for stepping — on
// displays built beforehand as a run leaves them. Items are quadrilaterals.
#include "bench_models.h"

#include "merge/merge.h"
#include "ui/Grid_Scene.h"
#include "ui/quality_view.h"

#include <benchmark/benchmark.h>

namespace {

void BM_QualityColours(benchmark::State& state, QualityMeasure m) {
  build_plates(10, 100);
  merge_grid_pts();
  renumber_grid_pts();
  load_grids();
  for (auto _ : state) show_quality_colours(m);
  show_quality_colours(QualityMeasure::COUNT);
  state.SetItemsProcessed(state.iterations() * 1000000);
  Pelgrove_UserInterface::gScenes->clear();
  Grid::destroy_grids();
}

BENCHMARK_CAPTURE(BM_QualityColours, aspect_ratio, QualityMeasure::ASPECT_RATIO)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_QualityColours, smallest_angle, QualityMeasure::SMALLEST_ANGLE)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_QualityColours, warp, QualityMeasure::WARP)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_QualityColours, folds, QualityMeasure::FOLDS)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_QualityColours, t_joints, QualityMeasure::T_JOINTS)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_QualityColours, free_edges, QualityMeasure::FREE_EDGES)->Unit(benchmark::kMillisecond);

}  // namespace
