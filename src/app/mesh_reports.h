// mesh_reports: what batch mode can say about the mesh after a run — the soundness
// report (--check) and the comparison with a golden mesh file (--compare).
#pragma once

#include "meshio/mesh_compare.h"

#include <string>

// What to report after a batch run.
struct MeshReports {
  enum Check { NONE, TEXT, JSON } check = NONE;
  std::string compare;  // reference mesh file, or empty
  double tolerance = -1;  // for the comparison; negative: default_compare_tolerance
};
// Prints the requested reports on standard output (problems reading the reference on
// standard error). False when the mesh differs from the reference or it cannot be read.
bool report_mesh(const MeshReports& reports);

// Reads a reference .dvk file aside from the model's parts: its groups' point copies are
// joined and it is numbered and grouped as an export would. False with `error` on failure.
bool load_reference_mesh(const std::string& path, FlatMesh& out, std::string& error);

// The default distance within which two points are the same: the run's `tolerance`, but
// never less than what 14 significant digits in a .dvk file can hold of the model's size.
double default_compare_tolerance(const FlatMesh& model);
