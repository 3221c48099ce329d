// Models for the benchmarks, built straight through the lattice fillers (no script):
// K x K unit plates of n x n quadrilaterals in z = 0, named p_<j>_<i> and created row by
// row, as bench/models/plates-*.vmf build them; and one closed drum for a model that is
// not flat.
#pragma once

#include "builders/builders.h"
#include "builders/lattice.h"
#include "grid/pelgrove_MxN.h"
#include "interp/params.h"

#include <cmath>
#include <string>

inline GridPt bench_pt(double x, double y, double z) {
  GridPt p;
  p.x = x, p.y = y, p.z = z;
  return p;
}

inline void build_plates(int K, int n, double tol = 1e-6) {
  Grid::destroy_grids();
  gParameters["tolerance"] = tol;
  gParameters["ptolerance"] = tol;
  gParameters["element_type"] = 0;
  for (int j = 0; j < K; ++j)
    for (int i = 0; i < K; ++i) {
      GridData gd;
      gd.M = gd.N = n;
      gd.a = bench_pt(i, j, 0);
      gd.b = bench_pt(i + 1, j, 0);
      gd.c = bench_pt(i + 1, j + 1, 0);
      gd.d = bench_pt(i, j + 1, 0);
      build_abcd(gd, "p_" + std::to_string(j) + "_" + std::to_string(i));
    }
}

// A closed drum of M x N cells in K rings stacked along z; ring seams and rims coincide.
inline void build_drums(int K, int M, int N, double tol = 1e-6) {
  Grid::destroy_grids();
  gParameters["tolerance"] = tol;
  gParameters["ptolerance"] = tol;
  gParameters["element_type"] = 0;
  for (int k = 0; k < K; ++k) {
    GridData gd;
    gd.M = M, gd.N = N;
    gd.a = bench_pt(1, 0, k);
    gd.b = bench_pt(1, 360, k);
    gd.c = bench_pt(1, 360, k + 1);
    gd.d = bench_pt(1, 0, k + 1);
    build_abcd(gd, "drum_" + std::to_string(k));
    cyl2xyz(gd);
  }
}
