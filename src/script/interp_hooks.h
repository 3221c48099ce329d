// interp_hooks: the calls that go up the layers, as one table. The parametric builders reach
// the interpreter through its two script runners; the interpreter reaches the window through
// the rest. Owns the installed table (lives for the process): map_commands installs the
// runners, the window adds its own when it is made; batch mode and tests leave those null.
#pragma once

#include <string>

class scriptstream;
struct MessageLocation;

struct Interp_Hooks {
  // -- the interpreter's (null until map_commands; per-point scripts are then not taken)
  // Takes a {...} block for later running (grab_tmp_script).
  bool (*grab_script)(scriptstream& in, std::string& out, MessageLocation* where) = nullptr;
  // Runs such a block as a nested script (run_tmp_script).
  bool (*run_script)(const std::string& text, const MessageLocation& where) = nullptr;

  // -- the window's
  // Shows the about window; when null, `version` prints version_text() on standard output.
  void (*show_version)() = nullptr;
  // Hands a simple_form block and its title to the form. Returns false when the form was
  // rebuilt from a changed block (the run stops so the user can edit the values); otherwise
  // true, with `script` set to the form's current values as one set command per line.
  // When null, simple_form runs the block itself, so the written values take effect.
  bool (*simple_form)(const std::string& block, const std::string& title, std::string& script) = nullptr;
  // Polled when every run_script starts and before every command. Returning false ends the
  // run as a failure (the caller keeps answering false, so every enclosing run unwinds); the
  // window uses it to stay responsive and to cancel a long run.
  bool (*run_poll)() = nullptr;
  // Shows the command and builder page after an unknown word; when null, the list goes to the
  // message sink as text.
  void (*show_builder_list)() = nullptr;
};

// The installed table.
const Interp_Hooks& interp_hooks();
// Replaces every hook at once: a caller adding its own starts from interp_hooks().
void install_interp_hooks(const Interp_Hooks& hooks);
