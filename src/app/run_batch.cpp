#include "app/run_batch.h"

#include "grid/Grid.h"
#include "grid/memory.h"
#include "interp/interp.h"
#include "interp/library.h"
#include "meshio/dvk.h"
#include "util/message.h"

#include <new>
#include <string>

// A run that stopped for lack of memory left an unfinished model: no mesh is written
// for it, so no output file stands for a model the script did not make.
bool run_batch(const char* input, const char* output) {
  std::string text, why;
  if (!read_script_file(input, text, why, false)) {
    if (!why.empty()) alert_text(why);
    return false;
  }
  reset_alert_count();
  bool ran = false;
  try {
    ran = start_script(text, input);
  } catch (const std::bad_alloc&) {
    note_out_of_memory();
    alert_text(std::string("out of memory while merging the parts of ") + input);
  }
  text = std::string();
  bool clean = alert_count() == 0;
  set_message_location({});
  bool written = false;
  if (out_of_memory()) {
    alert_text(std::string(output) + " not written: the model does not fit in memory");
  } else {
    try {
      written = export_dvk_mesh(output, true);
    } catch (const std::bad_alloc&) {
      alert_text(std::string("out of memory while writing ") + output);
    }
  }
  Grid::destroy_grids();
  return written && ran && clean;
}
