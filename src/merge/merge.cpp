// merge_grid_pts: the global merger collects the representatives of the parts done so
// far; each part joins its points to them (tolerance), then to each other (ptolerance)
// and to the earlier representatives it already touches.
#include "merge/merge.h"

#include "merge/PtMerger.h"

#include "grid/pelgrove_MxN.h"
#include "grid/point_store.h"
#include "util/progress.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

// Corners first, then the inner points of the four borders, then the interior (i outer):
// where points of one part coincide, corners win over borders and borders over the
// interior. Other parts go in index order.
void visit_order(const Grid& g, std::vector<uint32_t>& order) {
  order.clear();
  const size_t n = g.mPts.size();
  const Grid_MxN* mxn = dynamic_cast<const Grid_MxN*>(&g);
  if (!mxn || mxn->M < 0 || mxn->N < 0 || (size_t)(mxn->M + 1) * (size_t)(mxn->N + 1) != n) {
    for (size_t k = 0; k < n; ++k) order.push_back((uint32_t)k);
    return;
  }
  const int M = mxn->M, N = mxn->N;
  auto at = [&](int i, int j) { order.push_back((uint32_t)((size_t)(M + 1) * j + i)); };
  at(0, 0);
  if (M >= 1) at(M, 0);
  if (M >= 1 && N >= 1) at(M, N);
  if (N >= 1) at(0, N);
  for (int i = 1; i <= M - 1; ++i) at(i, 0);
  if (M >= 1)
    for (int j = 1; j <= N - 1; ++j) at(M, j);
  if (N >= 1)
    for (int i = 1; i <= M - 1; ++i) at(i, N);
  for (int j = 1; j <= N - 1; ++j) at(0, j);
  for (int i = 1; i <= M - 1; ++i)
    for (int j = 1; j <= N - 1; ++j) at(i, j);
}

// The box of grid_range over finite coordinates only: a point at infinity or NaN is
// never within reach of another and must not stretch the box.
void finite_range(GridPt& lo, GridPt& hi) {
  lo = GridPt();
  hi = GridPt();
  for (const Grid* g : Grid::gGrids)
    for (const GridPt& p : g->mPts) {
      if (std::isfinite(p.x)) lo.x = std::min(lo.x, p.x), hi.x = std::max(hi.x, p.x);
      if (std::isfinite(p.y)) lo.y = std::min(lo.y, p.y), hi.y = std::max(hi.y, p.y);
      if (std::isfinite(p.z)) lo.z = std::min(lo.z, p.z), hi.z = std::max(hi.z, p.z);
    }
}

// How far ahead of its lookup a point's table slot is fetched.
const size_t PREFETCH_AHEAD = 16;

// Per visited point: the hash of the one cell its lookups walk, when they walk one.
struct Cell {
  uint64_t hash;
  bool one;
};

// The part's own merger is the part view of the global one: it holds the representatives
// phase 1 found and those the part adds, in their own filing order, and shares the table.
void merge_part(Grid& g, const std::vector<uint32_t>& order, PtMerger& merger, std::vector<Cell>& cells) {
  GridPt* pts = g.mPts.data();
  const double t = g.tolerance(), pt = g.ptolerance();
  const size_t n = order.size();
  merger.begin_part();
  merger.prepare(t);
  merger.prepare(pt);
  // Both phases walk the same cell of a point when both tolerances share a level and the
  // larger one's box stays in the point's cell: hash it once, fetch its slot ahead.
  const bool shared = std::isfinite(t) && std::isfinite(pt) && merger.level_index(t) == merger.level_index(pt);
  const double reach = std::max(std::fabs(t), std::fabs(pt));
  cells.resize(n);
  auto hash_ahead = [&](size_t q) {
    Cell& c = cells[q];
    c.one = shared && merger.one_cell(pts + order[q], reach, c.hash);
    if (c.one) merger.prefetch_cell(c.hash, t);
  };
  auto lookup = [&](size_t q, GridPt* P, double tol, bool part_only) {
    return cells[q].one ? merger.nearest_in_cell(P, tol, part_only, cells[q].hash) : merger.nearest(P, tol, part_only);
  };
  for (size_t q = 0; q < std::min(n, PREFETCH_AHEAD); ++q) hash_ahead(q);
  // Phase 1: join to representatives of earlier parts; the part view learns the ones this
  // part touches, so ptolerance can reach them too.
  for (size_t q = 0; q < n; ++q) {
    if (q + PREFETCH_AHEAD < n) hash_ahead(q + PREFETCH_AHEAD);
    GridPt* P = pts + order[q];
    if (P->mapped_to) continue;
    const uint32_t r = lookup(q, P, t, false);
    if (r == PtMerger::NONE) continue;
    P->mapped_to = merger.point(r);
    if (merger.nearest(P->mapped_to, 0, true) == PtMerger::NONE) merger.add_to_part(r);
  }
  // Phase 2: join within the part; a point left alone becomes a representative.
  for (size_t q = 0; q < n; ++q) {
    if (q + PREFETCH_AHEAD < n && cells[q + PREFETCH_AHEAD].one) merger.prefetch_cell(cells[q + PREFETCH_AHEAD].hash, pt);
    GridPt* P = pts + order[q];
    if (P->mapped_to) continue;
    const uint32_t r = lookup(q, P, pt, true);
    if (r != PtMerger::NONE)
      P->mapped_to = merger.point(r);
    else
      merger.insert_pt(P);
  }
}

}  // namespace

void grid_range(GridPt& lo, GridPt& hi) {
  lo = GridPt();
  hi = GridPt();
  for (const Grid* g : Grid::gGrids)
    for (const GridPt& p : g->mPts) {
      lo.x = std::min(lo.x, p.x), hi.x = std::max(hi.x, p.x);
      lo.y = std::min(lo.y, p.y), hi.y = std::max(hi.y, p.y);
      lo.z = std::min(lo.z, p.z), hi.z = std::max(hi.z, p.z);
    }
}

void merge_grid_pts() {
  point_store_trim();  // the merge tables need the room more than a next part
  size_t total = 0;
  for (Grid* g : Grid::gGrids) {
    for (GridPt& p : g->mPts) p.mapped_to = nullptr;
    total += g->mPts.size();
  }
  GridPt lo, hi;
  finite_range(lo, hi);
  PtMerger merger(lo, hi);
  merger.reserve(total);
  std::vector<uint32_t> order;
  std::vector<Cell> cells;
  for (Grid* g : Grid::gGrids) {
    if (g->mPts.empty()) continue;
    visit_order(*g, order);
    merge_part(*g, order, merger, cells);
    progress_add((long)g->mPts.size());
  }
}
