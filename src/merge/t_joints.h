// t_joints: points of one part that lie on an edge or inside an element of another part
// without being merged to any point of that part (a stiffener whose foot falls between the
// skin's nodes). Elements are filed by their bounding boxes in a hash of cubic cells, one
// cell size per power-of-two level, so a point looks at a few cells whatever the sizes.
#pragma once

#include "merge/mesh_check.h"
#include "merge/mesh_geometry.h"

#include <cstdint>
#include <vector>

// What find_t_joints needs of the merged parts: every representative's position scaled by
// `scale` (a power of two; non-finite ones flagged), the part that owns it, and the points
// merged into a representative of another part, as (point number, part) pairs.
struct TJointInput {
  std::vector<Vec3> pos;          // by point number - 1
  std::vector<char> finite;       // by point number - 1
  std::vector<int> owner;         // by point number - 1
  std::vector<std::pair<int64_t, int>> shared;  // sorted, unique
  std::vector<double> tolerance;  // per part, unscaled
  double scale = 1;
};

// A point lies on an element when it is within the element's part tolerance (never less
// than 1e-6 of the element's longest edge) of one of its edges or of its face, and farther
// than that from each of its corners (what is that close to a corner is a near miss).
// With `on`, the element of every T-joint is appended to it as well.
void find_t_joints(const TJointInput& in, MeshCheck& c, std::vector<MeshCheck::Where>* on = nullptr);
