// mesh_compare: compares two meshes — the merged parts and a reference (a golden mesh
// file read back): counts, points within a distance, elements by their points and
// orientation, groups by name. Numbering may differ; differences are told in plain words.
#pragma once

#include <string>
#include <vector>

// A mesh as plain arrays: what a .dvk file holds.
struct FlatMesh {
  std::vector<double> xyz;             // point k (from 0) at 3k .. 3k+2
  std::vector<int> count;              // per element: 2, 3 or 4 points
  std::vector<long> pts;               // per element 4 slots of point indices (from 0)
  std::vector<int> group;              // per element: index into names
  std::vector<std::string> names;      // group names
  long points() const { return (long)xyz.size() / 3; }
  long elements() const { return (long)count.size(); }
};

// The merged, renumbered parts of Grid::gGrids, numbered and grouped as a .dvk export.
FlatMesh flatten_grids();

struct MeshComparison {
  long differences = 0;
  std::vector<std::string> first;  // the first differences, in plain words
  double tolerance = 0;            // the distance used for points
};
// Compares `model` with `ref`; points closer than `tol` are the same point.
MeshComparison compare_meshes(const FlatMesh& model, const FlatMesh& ref, double tol, size_t keep = 20);
