#include "interp/model_run.h"

#include "grid/memory.h"
#include "interp/interp.h"
#include "interp/library.h"
#include "util/message.h"

#include <new>

ModelRun run_model_text(std::string& text, const std::string& name) {
  ModelRun r;
  r.read = true;
  reset_alert_count();
  try {
    r.ran = start_script(text, name);
  } catch (const std::bad_alloc&) {
    note_out_of_memory();
    alert_text("out of memory while merging the parts of " + name);
  }
  text = std::string();
  r.clean = alert_count() == 0;
  set_message_location({});
  return r;
}

ModelRun run_model_file(const char* path) {
  std::string text;
  ModelRun r;
  if (!read_script_file(path, text, r.why, false)) {
    if (r.why.empty()) {
      r.why = "cannot read the script: " + open_error_text(path);
      MessageLocationGuard restore;
      set_message_location({path, 0});
      alert_text(r.why);
    } else {
      alert_text(r.why);
    }
    return r;
  }
  return run_model_text(text, path);
}
