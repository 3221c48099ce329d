// model_run: one whole run of a script as batch mode makes it — the script read, run from a
// clean state, merged and renumbered, a lack of memory caught and said — for the program's
// batch mode and for hosts that embed the core (the Python module). A ProgressReporter the
// caller keeps shows the phases.
#pragma once

#include <string>

struct ModelRun {
  bool read = false;   // the script could be read (when false, nothing ran)
  bool ran = false;    // the run ended on no failing command
  bool clean = false;  // and raised no alert
  std::string why;     // why the script could not be read (already said as an alert)
  bool ok() const { return read && ran && clean; }
};

// Reads the script file `path` and runs it; an unreadable file is reported at "FILE: ".
// The parts stay in Grid::gGrids until the next run or Grid::destroy_grids.
ModelRun run_model_file(const char* path);
// Runs `text` as the script named `name` in messages; `text` is consumed.
ModelRun run_model_text(std::string& text, const std::string& name);
