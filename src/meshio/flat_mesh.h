// flat_mesh: the merged, renumbered parts as plain arrays — points in number order and
// elements in the order and grouping of a .dvk export, read by the STL writer and the mesh
// comparison — or as runs read in place by the writers that format on every core.
#pragma once

#include "grid/Grid.h"

#include <cmath>
#include <string>
#include <vector>

struct FlatMesh {
  std::vector<double> xyz;         // point k (from 0) at 3k .. 3k+2
  std::vector<int> count;          // per element: 2, 3 or 4 points
  std::vector<long> pts;           // per element 4 slots of point indices (from 0; -1 unused)
  std::vector<int> group;          // per element: index into names
  std::vector<std::string> names;  // groups (part names), numbered as a .dvk export numbers them
  long points() const { return (long)xyz.size() / 3; }
  long elements() const { return (long)count.size(); }
  const long* element(long e) const { return &pts[4 * e]; }
};

// The parts of Grid::gGrids; false (and an empty mesh) when their numbering is stale,
// i.e. renumber_grid_pts has not run since the last merge.
bool flatten_grids(FlatMesh& mesh);

// The parts as runs of at most PART_RUN_ITEMS points or elements, for the writers that
// format straight from the parts on every core (text_writer.h) instead of copying them.
inline constexpr int PART_RUN_ITEMS = 8192;

struct PartRun {
  const Grid* grid;
  int begin, end;  // the grid's points or elements [begin, end)
  long first;      // points: number of the first representative, less one; elements: number
                   // of the first written element, less one, as a .dvk export numbers them
  int group;       // elements: index into names
  long count[5];   // elements: written elements of 2, 3 and 4 points; points: count[0]
                   // representatives
  long elements() const { return count[2] + count[3] + count[4]; }
};

// Calls fn(number, n, ids) for each element of the run that is written (two or more points
// left after merging) and, when `kind` is not 0, has `kind` points: its number as a .dvk
// export numbers it, its point count and its points' numbers.
template <class Fn>
void for_written_elements(const PartRun& r, int kind, Fn&& fn) {
  const GridPts& pts = r.grid->mPts;
  long idx[4], ids[4];
  long e = r.first;
  for (int k = r.begin; k < r.end; ++k) {
    const int n = r.grid->element(k, idx);
    if (n < 2) continue;
    ++e;
    if (kind && n != kind) continue;
    for (int j = 0; j < n; ++j) ids[j] = effective(pts[idx[j]]).id;
    fn(e, n, ids);
  }
}

// A run's elements of one kind: the coordinates of the first point of the first one, and
// the least and greatest coordinates of all their points (NaN left out).
struct RunBounds {
  double first[3];
  double lo[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL};
  double hi[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
};

struct PartLayout {
  std::vector<PartRun> points;
  std::vector<PartRun> elements;   // runs with written elements, in registry order
  std::vector<RunBounds> bounds;   // with bounds: 5 per element run, by point count
  std::vector<std::string> names;  // as FlatMesh::names
  long np = 0, ne = 0;
};

// Cuts the parts of Grid::gGrids into runs and counts them, on every core; false (and an
// empty layout) when their numbering is stale, as flatten_grids.
bool layout_grids(PartLayout& layout, bool with_bounds);
