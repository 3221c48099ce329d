// Runs arbitrary bytes as a script, from the clean state of every run, with the part
// library loaded. Bounded for unattended runs: at most 20000 commands and 64 MB of
// lattices per input. Checks the merged model: links never chain, and every element
// names points of its own part.
#include "fuzz_support.h"

#include "builders/builders.h"
#include "grid/memory.h"
#include "interp/interp.h"
#include "interp/library.h"
#include "interp/placement.h"
#include "script/functions.h"
#include "script/parameters.h"
#include "script/scriptstream.h"
#include "util/message.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>

namespace {

// Messages are expected by the thousand; none is kept.
class DropSink : public MessageSink {
public:
  void alert(const MessageLocation&, const std::string&) override {}
  void warning(const MessageLocation&, const std::string&) override {}
  int choice(const MessageLocation&, const std::string&, const std::vector<std::string>&, int d) override {
    return d;
  }
  void show_list(const std::string&, const std::string&) override {}
};

// The process-lived state an input may change, as it stood after start-up.
std::map<std::string, std::string> libraries, expressions;
std::map<std::string, int> library_args;
std::map<std::string, MessageLocation> library_origins;

void start_up() {
  static DropSink sink;
  silence_streams();
  set_message_sink(&sink);
  map_builders("");
  map_commands();
  const std::string here = __FILE__;
  load_libraries({here.substr(0, here.rfind('/')) + "/../share/etc/pelgrove"});
  limit_commands(20000);
  limit_memory(64e6);
  libraries = gLibraries;
  library_args = gLibraries_args;
  library_origins = gLibraries_origin;
  expressions = stored_expressions;
}

void restore_process_state() {
  gLibraries = libraries;
  gLibraries_args = library_args;
  gLibraries_origin = library_origins;
  stored_expressions = expressions;
  user_funcs.clear();
  matrix_stack.clear();
  gParameterFrames.clear();
}

void check_model() {
  for (Grid* g : Grid::gGrids) {
    const long n = g->num_grid_points();
    for (const GridPt& p : g->mPts)
      if (p.mapped_to && p.mapped_to->mapped_to) std::abort();
    long idx[4];
    for (int k = 0; k < g->num_elements(); ++k) {
      const int count = g->element(k, idx);
      for (int j = 0; j < count && j < 4; ++j)
        if (idx[j] < 0 || idx[j] >= n) std::abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool started = (start_up(), true);
  (void)started;
  std::string text(reinterpret_cast<const char*>(data), size);
  reset_alert_count();
  start_script(text, "fuzz.vmf");
  check_model();
  Grid::destroy_grids();
  restore_process_state();
  return 0;
}
