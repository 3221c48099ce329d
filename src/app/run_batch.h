// run_batch: batch mode — run one script headless and write its mesh as a DVK file.
#pragma once

// Reads `input`, runs it from a clean state, writes the merged mesh to `output`.
// True only when the file was written and the run raised no alert and ended on no failure;
// the mesh of what was built is written in every case but an unreadable input.
bool run_batch(const char* input, const char* output);
