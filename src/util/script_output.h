// script_output: the one stream for what a run prints as it goes — `print` and version
// lines, importers' progress words, library loading lines, traces. Standard output, until
// a report claims standard output for itself (--check=json): then standard error.
// Owns the switch (lives for the process).
#pragma once

#include <iosfwd>

std::ostream& script_output();
// True: what a run prints goes to standard error. Returns the previous setting.
bool set_script_output_to_stderr(bool to_stderr);
