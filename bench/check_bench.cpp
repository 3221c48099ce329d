// The mesh check on 1M quadrilaterals: the whole check, and its T-joint search alone (the
// rest is the plain check), on the plates model (100 parts, every point shared along the
// seams, no T-joint) and on a skin of one part with 1000 stiffeners whose feet fall between
// its nodes (1000 T-joints). Items are quadrilaterals.
#include "bench_models.h"
#include "builders/lattice.h"

#include "merge/merge.h"
#include "merge/mesh_check.h"
#include "merge/t_joints.h"

#include <benchmark/benchmark.h>

namespace {

// 10 x 10 plates of 100 x 100 cells.
void plates() { build_plates(10, 100); }

// A 1000 x 1000 skin over [0, 1000]^2 and 1000 stiffeners of 10 bars standing on it at the
// middles of cells along its diagonal.
void stiffened_skin() {
  build_plates(1, 1000);
  for (int k = 0; k < 1000; ++k) {
    GridData gd;
    gd.N = 10;
    const double at = (k + 0.5) / 1000;
    gd.a = bench_pt(at, at, 0.01);
    gd.b = bench_pt(at, at, 0);
    build_ab(gd, "stiffener");
  }
}

void merged(void (*model)()) {
  model();
  merge_grid_pts();
  renumber_grid_pts();
}

long quads() {
  long n = 0;
  for (const Grid* g : Grid::gGrids)
    if (g->dimension() == 2) n += g->num_elements();
  return n;
}

void BM_Check(benchmark::State& state, void (*model)()) {
  merged(model);
  long found = 0;
  for (auto _ : state) found = check_mesh().t_joints;
  state.counters["t_joints"] = double(found);
  state.SetItemsProcessed(state.iterations() * quads());
  Grid::destroy_grids();
}

// The input find_t_joints gets from check_mesh, gathered once.
TJointInput gather() {
  TJointInput in;
  for (int gi = 0; gi < (int)Grid::gGrids.size(); ++gi) {
    const Grid* g = Grid::gGrids[gi];
    in.tolerance.push_back(g->tolerance());
    for (const GridPt& p : g->mPts) {
      if (p.mapped_to) {
        if (in.owner[p.mapped_to->id - 1] != gi) in.shared.push_back({p.mapped_to->id, gi});
        continue;
      }
      in.pos.push_back({p.x, p.y, p.z});
      in.finite.push_back(1);
      in.owner.push_back(gi);
    }
  }
  std::sort(in.shared.begin(), in.shared.end());
  in.shared.erase(std::unique(in.shared.begin(), in.shared.end()), in.shared.end());
  in.scale = 1.0 / 1024;
  for (Vec3& v : in.pos) v = {v.x * in.scale, v.y * in.scale, v.z * in.scale};
  return in;
}

void BM_TJoints(benchmark::State& state, void (*model)()) {
  merged(model);
  const TJointInput in = gather();
  long found = 0;
  for (auto _ : state) {
    MeshCheck c;
    find_t_joints(in, c);
    found = c.t_joints;
  }
  state.counters["t_joints"] = double(found);
  state.SetItemsProcessed(state.iterations() * quads());
  Grid::destroy_grids();
}

BENCHMARK_CAPTURE(BM_Check, plates, plates)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TJoints, plates, plates)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Check, stiffened_skin, stiffened_skin)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TJoints, stiffened_skin, stiffened_skin)->Unit(benchmark::kMillisecond);

}  // namespace
