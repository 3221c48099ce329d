// Runs a mesh-file reader on bytes held in memory from a clean part list, capturing what
// it writes to standard output and error.
#pragma once

#include "grid/RawGrid.h"
#include "interp/interp.h"

#include <iostream>
#include <sstream>
#include <string>
#include <string_view>

// Redirects a standard stream into `text` for the life of the object.
struct StreamCapture {
  explicit StreamCapture(std::ostream& s) : stream(s), old(s.rdbuf(text.rdbuf())) {}
  ~StreamCapture() { stream.rdbuf(old); }
  StreamCapture(const StreamCapture&) = delete;
  StreamCapture& operator=(const StreamCapture&) = delete;
  std::ostream& stream;
  std::ostringstream text;
  std::streambuf* old;
};

struct ImportRun {
  bool ok = false;
  std::string why, out, err;
};

// `read` is a reader such as VET::import, or a lambda around one.
template <typename Reader>
ImportRun run_import(Reader read, std::string_view bytes) {
  reset_script_state();
  ImportRun r;
  StreamCapture out(std::cout), err(std::cerr);
  r.ok = read(bytes, r.why);
  r.out = out.text.str();
  r.err = err.text.str();
  return r;
}

inline RawGrid& raw_part(size_t k) { return dynamic_cast<RawGrid&>(*Grid::gGrids.at(k)); }
