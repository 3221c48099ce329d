// mesh_compare: compares two meshes — the merged parts and a reference (a golden mesh
// file read back): counts, points within a distance, elements by their points and
// orientation, groups by name. Numbering may differ; differences are told in plain words.
#pragma once

#include "meshio/flat_mesh.h"

#include <string>
#include <vector>

struct MeshComparison {
  long differences = 0;
  std::vector<std::string> first;  // the first differences, in plain words
  double tolerance = 0;            // the distance used for points
};
// Compares `model` with `ref`; points closer than `tol` are the same point.
MeshComparison compare_meshes(const FlatMesh& model, const FlatMesh& ref, double tol, size_t keep = 20);
