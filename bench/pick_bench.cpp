// Picking on 1M quadrilaterals: the numbering built after a run, and one pick (the ray through
// a pixel cast over the parts, with the element's number and text) as a click asks for it, on
// the plates model (100 parts) and on one 1000 x 1000 plate, seen from the front and turned.
// The pick is taken at 64 pixels spread over an 800 x 600 view, one per iteration in turn.
#include "bench_models.h"

#include "merge/merge.h"
#include "ui/pick_info.h"

#include <benchmark/benchmark.h>

namespace {

void plates() { build_plates(10, 100); }
void one_plate() { build_plates(1, 1000); }

void merged(void (*model)()) {
  model();
  merge_grid_pts();
  renumber_grid_pts();
}

// The viewer's first view of the model, turned by `turn_deg` about the x and y axes.
Gl_Matrix camera(double turn_deg) {
  Gl_Vec3 lo{1e300, 1e300, 1e300}, hi{-1e300, -1e300, -1e300};
  for (const Grid* g : Grid::gGrids)
    for (const GridPt& p : g->mPts) {
      const double c[3] = {p.x, p.y, p.z};
      for (int k = 0; k < 3; ++k) lo[k] = std::min(lo[k], c[k]), hi[k] = std::max(hi[k], c[k]);
    }
  Gl_Matrix cam;
  cam.viewport(800, 600);
  cam.model_bounds(lo, hi);
  cam.orientation(quat_from_axis_angle({1 / std::sqrt(2.0), 1 / std::sqrt(2.0), 0}, turn_deg));
  return cam;
}

void BM_BuildIndex(benchmark::State& state, void (*model)()) {
  merged(model);
  Pick_Index index;
  for (auto _ : state) index.build(Grid::gGrids);
  state.counters["elements"] = double(index.elements());
  Grid::destroy_grids();
}

void BM_Pick(benchmark::State& state, void (*model)(), double turn_deg) {
  merged(model);
  Pick_Index index;
  index.build(Grid::gGrids);
  Gl_Matrix cam = camera(turn_deg);
  long hits = 0, n = 0;
  for (auto _ : state) {
    const double px = 100 + 600 * ((n % 8) + 0.5) / 8, py = 75 + 450 * ((n / 8 % 8) + 0.5) / 8;
    ++n;
    Pick_Hit hit;
    if (!index.hit(pick_ray(cam, px, py), {}, {}, hit)) continue;
    ++hits;
    benchmark::DoNotOptimize(element_text(element_info(index.grid(hit.part), hit.k, hit.number)));
  }
  state.counters["hit_share"] = double(hits) / double(std::max(1L, n));
  Grid::destroy_grids();
}

}  // namespace

BENCHMARK_CAPTURE(BM_BuildIndex, plates_1M, plates)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_BuildIndex, one_plate_1M, one_plate)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Pick, plates_1M_front, plates, 0.0)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Pick, plates_1M_turned, plates, 50.0)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Pick, one_plate_1M_front, one_plate, 0.0)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Pick, one_plate_1M_turned, one_plate, 50.0)->Unit(benchmark::kMicrosecond);
