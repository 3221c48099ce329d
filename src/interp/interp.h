// interp: the command loop, whole-script runs and nested blocks, and the command table.
// A word names a command, a library function or a builder (in that precedence); each
// reads its own arguments from the stream. Owns `commands` (filled once by map_commands,
// read-only after; lives for the process).
#pragma once

#include "script/compiled_expression.h"
#include "script/interp_hooks.h"
#include "script/scriptstream.h"
#include "util/message.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

struct Command {
  std::string usage;
  bool (*handler)(scriptstream&) = nullptr;
};

// -- state
extern std::map<std::string, Command> commands;

// -- running scripts
// Runs commands until `s` is exhausted (true) or one fails (false). Each command's messages
// carry its file and line. A malformed name thrown by the evaluator ends the run with an
// alert, and so does nesting deeper than 256 runs (a function or include calling itself)
// or a command that runs out of memory (noted, see grid/memory.h).
bool run_script(scriptstream& s);
// A whole run from a clean state: destroy parts, reset parameters and names, run, merge, renumber.
// `file` names the script in messages. Returns false when the run ended on a failing command.
bool start_script(std::string& text, const std::string& file = "script");
// Takes the next {...} block (outer braces dropped); false if none or unbalanced.
// `where`, if given, receives the file and line on which the block's text begins.
// The block is a range of the stream's own text, shared rather than copied.
bool brace_contents(scriptstream& s, ScriptText& out, MessageLocation* where = nullptr);
bool brace_contents(scriptstream& s, std::string& out, MessageLocation* where = nullptr);
// A block for later running: brace_contents plus a trailing blank.
bool grab_tmp_script(scriptstream& s, std::string& out, MessageLocation* where = nullptr);
// Runs text as a nested script sharing all global state; false for an empty text.
// `where` is the location of the text's first character (for messages).
bool run_tmp_script(const std::string& text, const MessageLocation& where = message_location());
bool run_tmp_script(const ScriptText& text, const MessageLocation& where);
bool run_tmp_script(std::string&& text, const MessageLocation& where);  // the stream takes the text
// Runs a block between an implicit push_name and pop_name (control-flow bodies, library calls).
bool run_block(const std::string& text, const MessageLocation& where);
bool run_block(const ScriptText& text, const MessageLocation& where);

// A block a loop runs once per pass. A block of plain `set <name> [expression]` commands is
// read once: each command keeps its line, its parameter and its compiled expression across
// passes, and a pass does what run_block would do, without a stream. Any other block, or one
// whose run would fail at once (nesting too deep), is not prepared and runs by run_block.
class LoopBlock {
public:
  LoopBlock(const ScriptText& text, const MessageLocation& where);
  bool prepared() const { return mPrepared; }
  // run_block(text, where) for a prepared block.
  bool run_pass();

private:
  struct Setting {
    MessageLocation where;  // the line of its `set`
    std::string name;
    std::string expression;
    double* slot = nullptr;                 // the parameter, once the first pass made it
    std::optional<CompiledExpression> value;  // compiled when the first pass reaches it
  };
  bool run_setting(Setting& setting);

  std::vector<Setting> mSettings;
  bool mPrepared = false;
  // The location messages had before the loop: a run puts it back when it ends.
  MessageLocationGuard mLocation;
};

// The reset every run starts from: destroy all parts, reset parameters (and the
// transformation), empty var_stack, reset the part names, clear the out-of-memory note and the
// list of included files, and put the placement stack, the parameter frames and the stored
// expressions back to their start-up state.
// Called by start_script and tests.
void reset_script_state();
// Records the placement stack, parameter frames and stored expressions as they stand after
// the libraries loaded; every later reset returns to them. Until called, that state is empty.
void keep_startup_state();

// -- limits for hosts that run untrusted scripts unattended (a fuzzer)
// At most `count` commands per run (0: no limit, the default); the command past the
// limit fails with a message. reset_script_state starts the count again.
void limit_commands(long count);

// Fills `commands`; called once at start-up, after map_builders.
void map_commands();

// -- commands of this module
bool stop_script(scriptstream& s);          // stop
bool show_version(scriptstream& s);         // version
bool command_print(scriptstream& s);        // print <variable_name>
bool command_simple_form(scriptstream& s);  // simple_form {<set commands>}

// The version text shown by `version`.
const char* version_text();

// -- hooks: script/interp_hooks.h (map_commands installs the runners, the window the rest)
