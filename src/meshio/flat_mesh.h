// flat_mesh: the merged, renumbered parts as plain arrays — points in number order and
// elements in the order and grouping of a .dvk export. The writers of the standard
// formats and the mesh comparison read this view.
#pragma once

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

// The element indices ordered by group (and within a group by point count when
// `by_kind`), keeping their order otherwise.
std::vector<long> elements_by_group(const FlatMesh& mesh, bool by_kind);
