// mesh_reports: what batch mode can say about the mesh after a run — the soundness
// report (--check) and the comparison with a golden mesh file (--compare).
#pragma once

#include "meshio/mesh_compare.h"

#include <string>

// Reads a reference .dvk file aside from the model's parts: its groups' point copies are
// joined and it is numbered and grouped as an export would. False with `error` on failure.
bool load_reference_mesh(const std::string& path, FlatMesh& out, std::string& error);

// The default distance within which two points are the same: the run's `tolerance`, but
// never less than what 14 significant digits in a .dvk file can hold of the model's size.
double default_compare_tolerance(const FlatMesh& model);
