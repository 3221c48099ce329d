// The merge written the plain way, for comparison: a box of at most 20 cells per axis,
// unsorted bucket lists walked x, y, z, and the two phases per part. Slow on large flat
// models, plainly right: a lookup walks every cell that can hold a point within reach.
#pragma once

#include "grid/Grid.h"
#include "grid/pelgrove_MxN.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

class ReferenceMerger {
public:
  ReferenceMerger(const GridPt& lo, const GridPt& hi) {
    const double l[3] = {lo.x, lo.y, lo.z}, h[3] = {hi.x, hi.y, hi.z};
    double d[3], d2 = 0;
    for (int a = 0; a < 3; ++a) {
      low[a] = l[a];
      d[a] = h[a] - l[a];
      d2 += d[a] * d[a];
    }
    const double s = std::sqrt(d2) / 20;
    for (int a = 0; a < 3; ++a) {
      count[a] = 1;  // a box of zero extent is one cell
      cell[a] = 1.0;
      if (s > 0) {
        count[a] = std::max(1, (int)(d[a] / s));
        cell[a] = d[a] / count[a];
        if (cell[a] == 0) cell[a] = 1.0;
      }
    }
    buckets.resize((size_t)count[0] * count[1] * count[2]);
  }

  void insert_pt(GridPt* p) {
    const double c[3] = {p->x, p->y, p->z};
    int ix[3];
    for (int a = 0; a < 3; ++a) {
      const int i = (int)((c[a] - low[a]) / cell[a]);
      ix[a] = std::min(std::max(i, 0), count[a] - 1);
    }
    buckets[((size_t)ix[0] * count[1] + ix[1]) * count[2] + ix[2]].push_back(p);
  }

  // Walks the cells the tolerance box overlaps, widened by one cell each way against
  // rounding and clamped to the box, as points outside it were filed.
  GridPt* test_pt(const GridPt* p, double tol) const {
    if (std::isnan(tol)) return nullptr;
    const double T = std::fabs(tol);
    const double c[3] = {p->x, p->y, p->z};
    int first[3], last[3];
    for (int a = 0; a < 3; ++a) {
      const double lo = (c[a] - low[a] - T) / cell[a], hi = (c[a] - low[a] + T) / cell[a];
      first[a] = (int)std::clamp(std::floor(lo) - 1, 0.0, count[a] - 1.0);
      last[a] = (int)std::clamp(std::ceil(hi) + 1, 0.0, count[a] - 1.0);
    }
    GridPt* best = nullptr;
    double b = tol * tol;
    for (int i = first[0]; i <= last[0]; ++i)
      for (int j = first[1]; j <= last[1]; ++j)
        for (int k = first[2]; k <= last[2]; ++k)
          for (GridPt* q : buckets[((size_t)i * count[1] + j) * count[2] + k]) {
            const double dx = q->x - p->x, dy = q->y - p->y, dz = q->z - p->z;
            const double d2 = dx * dx + dy * dy + dz * dz;
            if (d2 < b || (!best && d2 <= b)) {
              b = d2;
              best = q;
            }
          }
    return best;
  }

  double low[3];
  int count[3];
  double cell[3];
  std::vector<std::vector<GridPt*>> buckets;
};

inline std::vector<int> reference_visit_order(const Grid& g) {
  std::vector<int> order;
  const Grid_MxN* m = dynamic_cast<const Grid_MxN*>(&g);
  if (!m) {
    for (int k = 0; k < (int)g.mPts.size(); ++k) order.push_back(k);
    return order;
  }
  const int M = m->M, N = m->N;
  auto at = [&](int i, int j) { order.push_back((M + 1) * j + i); };
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
  return order;
}

// Links of every point of every part, in registry and index order.
inline std::vector<GridPt*> current_links() {
  std::vector<GridPt*> links;
  for (const Grid* g : Grid::gGrids)
    for (const GridPt& p : g->mPts) links.push_back(p.mapped_to);
  return links;
}

// Runs the plain merge over Grid::gGrids and returns the links it made.
inline std::vector<GridPt*> reference_merge() {
  GridPt lo, hi;
  for (Grid* g : Grid::gGrids)
    for (GridPt& p : g->mPts) {
      p.mapped_to = nullptr;
      lo.x = std::min(lo.x, p.x), hi.x = std::max(hi.x, p.x);
      lo.y = std::min(lo.y, p.y), hi.y = std::max(hi.y, p.y);
      lo.z = std::min(lo.z, p.z), hi.z = std::max(hi.z, p.z);
    }
  ReferenceMerger global(lo, hi);
  for (Grid* g : Grid::gGrids) {
    ReferenceMerger part(lo, hi);
    const std::vector<int> order = reference_visit_order(*g);
    for (int k : order) {
      GridPt* P = &g->mPts[k];
      if (!P->mapped_to) P->mapped_to = global.test_pt(P, g->tolerance());
      if (!P->mapped_to) continue;
      if (!part.test_pt(P->mapped_to, 0)) part.insert_pt(P->mapped_to);
    }
    for (int k : order) {
      GridPt* P = &g->mPts[k];
      if (P->mapped_to) continue;
      P->mapped_to = part.test_pt(P, g->ptolerance());
      if (!P->mapped_to) {
        global.insert_pt(P);
        part.insert_pt(P);
      }
    }
  }
  return current_links();
}
