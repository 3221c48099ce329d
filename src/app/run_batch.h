// run_batch: batch mode — run one script headless and write its mesh as a DVK file.
#pragma once

#include "app/mesh_reports.h"

// Reads `input`, runs it from a clean state, writes the merged mesh to `output`.
// True only when the file was written and the run raised no alert and ended on no failure;
// the mesh of what was built is written in every case but an unreadable input.
// `reports` are printed after the mesh was written; a comparison that finds differences
// makes the result false too.
bool run_batch(const char* input, const char* output, const MeshReports& reports = {});
