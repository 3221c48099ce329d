#include "util/script_output.h"

#include <iostream>

namespace {
bool to_err = false;
}

std::ostream& script_output() { return to_err ? std::cerr : std::cout; }

bool set_script_output_to_stderr(bool to_stderr) {
  const bool was = to_err;
  to_err = to_stderr;
  return was;
}
