// The merge written the plain way, for comparison: a box of at most 20 cells per axis,
// unsorted bucket lists walked x, y, z, and the two phases per part. Slow, plainly right:
// a lookup walks every cell that can hold a point within reach.
#pragma once

#include "grid/Grid.h"
#include "grid/pelgrove_MxN.h"

#include <algorithm>
#include <cmath>
#include <vector>

inline GridPt xyz(double x, double y, double z) {
  GridPt p;
  p.x = x, p.y = y, p.z = z;
  return p;
}

inline double dist2(const GridPt& a, const GridPt& b) {
  const double dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
  return dx * dx + dy * dy + dz * dz;
}

class ReferenceMerger {
public:
  ReferenceMerger(const GridPt& lo, const GridPt& hi) {
    const double d[3] = {hi.x - lo.x, hi.y - lo.y, hi.z - lo.z}, s = std::sqrt(dist2(hi, lo)) / 20;
    low[0] = lo.x, low[1] = lo.y, low[2] = lo.z;
    for (int a = 0; a < 3; ++a) {
      count[a] = s > 0 ? std::max(1, (int)(d[a] / s)) : 1;  // a box of zero extent is one cell
      cell[a] = s > 0 && d[a] > 0 ? d[a] / count[a] : 1.0;
    }
    buckets.resize((size_t)count[0] * count[1] * count[2]);
  }

  void insert_pt(GridPt* p) {
    const double c[3] = {p->x, p->y, p->z};
    int ix[3];
    for (int a = 0; a < 3; ++a) ix[a] = std::clamp((int)((c[a] - low[a]) / cell[a]), 0, count[a] - 1);
    buckets[((size_t)ix[0] * count[1] + ix[1]) * count[2] + ix[2]].push_back(p);
  }

  // Walks the cells the tolerance box overlaps, widened by one cell each way against
  // rounding and clamped to the box, as points outside it were filed.
  GridPt* test_pt(const GridPt* p, double tol) const {
    if (std::isnan(tol)) return nullptr;
    const double T = std::fabs(tol), c[3] = {p->x, p->y, p->z};
    int first[3], last[3];
    for (int a = 0; a < 3; ++a) {
      first[a] = (int)std::clamp(std::floor((c[a] - low[a] - T) / cell[a]) - 1, 0.0, count[a] - 1.0);
      last[a] = (int)std::clamp(std::ceil((c[a] - low[a] + T) / cell[a]) + 1, 0.0, count[a] - 1.0);
    }
    GridPt* best = nullptr;
    double b = tol * tol;
    for (int i = first[0]; i <= last[0]; ++i)
      for (int j = first[1]; j <= last[1]; ++j)
        for (int k = first[2]; k <= last[2]; ++k)
          for (GridPt* q : buckets[((size_t)i * count[1] + j) * count[2] + k]) {
            const double d2 = dist2(*q, *p);
            if (d2 < b || (!best && d2 <= b)) b = d2, best = q;
          }
    return best;
  }

  double low[3], cell[3];
  int count[3];
  std::vector<std::vector<GridPt*>> buckets;
};

// Corners, then the four edges, then the interior; other parts in index order.
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
  if (M) at(M, 0);
  if (M && N) at(M, N);
  if (N) at(0, N);
  for (int i = 1; i < M; ++i) at(i, 0);
  for (int j = 1; M && j < N; ++j) at(M, j);
  for (int i = 1; N && i < M; ++i) at(i, N);
  for (int j = 1; j < N; ++j) at(0, j);
  for (int i = 1; i < M; ++i)
    for (int j = 1; j < N; ++j) at(i, j);
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
      lo = xyz(std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z));
      hi = xyz(std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z));
    }
  ReferenceMerger global(lo, hi);
  for (Grid* g : Grid::gGrids) {
    ReferenceMerger part(lo, hi);
    const std::vector<int> order = reference_visit_order(*g);
    for (int k : order) {
      GridPt* P = &g->mPts[k];
      if (!P->mapped_to) P->mapped_to = global.test_pt(P, g->tolerance());
      if (P->mapped_to && !part.test_pt(P->mapped_to, 0)) part.insert_pt(P->mapped_to);
    }
    for (int k : order) {
      GridPt* P = &g->mPts[k];
      if (P->mapped_to || (P->mapped_to = part.test_pt(P, g->ptolerance()))) continue;
      global.insert_pt(P);
      part.insert_pt(P);
    }
  }
  return current_links();
}
