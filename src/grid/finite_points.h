// finite_points: finding points whose coordinates are not finite (NaN or infinite). No
// builder, placement, reader or writer lets such a point through; these find the first one
// cheaply and describe it for their messages.
#pragma once

#include "grid/Grid.h"

#include <cstddef>
#include <string>

// Index of the first of pts[0..n) with a coordinate that is not finite, or -1. The common
// case is one pass of additions; the index is searched for only once one is known to exist.
long first_nonfinite(const GridPt* pts, size_t n);
inline long first_nonfinite(const Grid& g) { return first_nonfinite(g.mPts.data(), g.mPts.size()); }
// "x y z" for a message; NaN prints as "nan" whatever its sign bit.
std::string xyz_text(double x, double y, double z);
inline std::string xyz_text(const GridPt& p) { return xyz_text(p.x, p.y, p.z); }
// Where point k of g lies: "(i, j)" on a lattice, "i" on a curve or any other part.
std::string point_place(const Grid& g, long k);
