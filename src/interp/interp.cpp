#include "interp/interp.h"

#include "builders/builders.h"
#include "builders/import.h"
#include "grid/Grid.h"
#include "grid/part_names.h"
#include "grid/finite_points.h"
#include "grid/memory.h"
#include "grid/part_properties.h"
#include "interp/control.h"
#include "interp/library.h"
#include "interp/params.h"
#include "interp/placement.h"
#include "merge/PtMerger.h"
#include "merge/merge.h"
#include "script/functions.h"
#include "script/scriptstream.h"
#include "util/message.h"
#include "util/nearest_name.h"
#include "util/progress.h"
#include "util/script_output.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <new>

std::map<std::string, Command> commands;
namespace {
// Polled before every command: bound once instead of fetched per call.
const Interp_Hooks& hooks = interp_hooks();
}  // namespace

namespace {

// Script state that outlives a run but must not leak into the next one: the values it had
// once the libraries loaded.
struct StartupState {
  std::map<std::string, std::string> expressions;
  std::vector<Placement> matrices;
  std::vector<std::map<std::string, double>> frames;
};
StartupState startup;

// A library function or include that calls itself would otherwise recurse until the
// stack overflows; past this many nested runs the run ends with a message instead.
constexpr int kMaxNesting = 256;
int active_runs = 0;  // run_script calls in progress (the top-level run counts as one)
long command_limit = 0;  // set by limit_commands; 0: none
long commands_run = 0;   // commands dispatched since reset_script_state
// Set by a failure that ends the whole run (nesting or command limit, memory, a stop asked
// for): every level returns at once, also those a builder's per-point script would resume.
// Cleared when the outermost run returns.
bool run_ending = false;

bool end_run() {
  run_ending = true;
  return false;
}

struct RunDepth {
  RunDepth() { ++active_runs; }
  ~RunDepth() {
    if (--active_runs == 0) run_ending = false;
  }
  RunDepth(const RunDepth&) = delete;
  RunDepth& operator=(const RunDepth&) = delete;
};

// Numbers the direct builders take: M N and four corners, or N and two ends. Every
// builder but import starts with a number.
const std::map<std::string, int> kBuilderNumbers = {{"plate", 14}, {"cylinder", 14}, {"sphere", 14},
                                                    {"line", 7},   {"arc", 7},       {"orbit", 7}};

// The next word of the stream's text, without reading it.
std::string next_word(scriptstream& s) {
  auto* priv = dynamic_cast<scriptstream_priv*>(&s);
  const long at = s.tell();
  if (!priv || at < 0) return "";
  const std::string_view text = priv->text();
  size_t b = (size_t)at;
  while (b < text.size() && std::isspace((unsigned char)text[b])) ++b;
  size_t e = b;
  while (e < text.size() && !std::isspace((unsigned char)text[e])) ++e;
  return std::string(text.substr(b, e - b));
}

bool looks_like_number(const std::string& word) {
  return !word.empty() && (std::isdigit((unsigned char)word[0]) || std::strchr("+-.[@", word[0]));
}

// A placement can take a finite part beyond the largest double (a move of 1e308, "units"):
// the part is removed and the run stops.
bool check_placed_part() {
  Grid* g = Grid::gGrids.back();
  const long k = first_nonfinite(*g);
  if (k < 0) return true;
  alert_text("ERROR: placing part '" + g->name() + "': point " + point_place(*g, k) +
             " is not finite after the transformation: " + xyz_text(g->mPts[(size_t)k]));
  delete g;
  return false;
}

// A builder makes one part, left last in Grid::gGrids; its points are then placed by the
// current transformation.
bool run_builder(const std::string& builder, BuilderFunc func, scriptstream& s) {
  std::string name;
  if (named_parts) name = part_name;
  else s >> name;
  const std::string first = named_parts ? next_word(s) : std::string();
  const long numbers_before = numbers_read();
  std::string message;
  const size_t count_before = Grid::gGrids.size();
  const Grid* last_before = count_before ? Grid::gGrids.back() : nullptr;
  if (!func(name, s, message)) {
    if (!first.empty() && !looks_like_number(first) && builder != "import")
      set_alert_hint("parts are named by 'begin' here (inside a block or library function, or after a naming "
                     "command), so '" + first + "' was read as an argument, not as the part name");
    else if (!s.good() && kBuilderNumbers.count(builder))
      message += "\n'" + builder + "' takes " + std::to_string(kBuilderNumbers.at(builder)) + " numbers; " +
                 std::to_string(numbers_read() - numbers_before) + " could be read";
    alert_text("ERROR: while parsing " + name + ", builder " + builder + " failed with message:\n" + message);
    return false;
  }
  // Only a part the builder just made is placed: a builder that made none must not move
  // the part before it a second time.
  if (Grid::gGrids.size() == count_before && (!count_before || Grid::gGrids.back() == last_before))
    return true;
  if (run_ending) {  // cut short by a failure in its per-point script
    delete Grid::gGrids.back();
    return false;
  }
  apply_transformation_to_last();
  const std::string place = message_place();
  for (size_t i = count_before ? count_before - 1 : 0; i < Grid::gGrids.size(); ++i)
    if (i >= count_before || Grid::gGrids[i] != last_before) Grid::gGrids[i]->place(place);
  return check_placed_part();
}

// One line per builder name, then one per line of each command's usage text.
std::string builder_and_command_list() {
  std::string text = "@b@cBuilders\n";
  for (const auto& [name, builder] : gBuilders) text += name + "\n";
  text += "\n@b@cCommands\n";
  for (const auto& [name, command] : commands) text += command.usage + "\n";
  return text;
}

// The builder, command or library function whose name is nearest to a mistyped word.
std::string nearest_name(const std::string& word) {
  NearestName near(word);
  for (const auto& [name, builder] : gBuilders) near.consider(name);
  for (const auto& [name, command] : commands)
    if (command.handler) near.consider(name);
  for (const auto& [name, body] : gLibraries)
    if (is_library_function(name)) near.consider(name);
  return near.best();
}

bool report_unknown_word(const std::string& word) {
  const std::string near = nearest_name(word);
  std::string question = "ERROR: did not find a builder called '" + word + "'\n" +
                         (near.empty() ? "" : "did you mean '" + near + "'?\n") +
                         "Would you like to see a list of builders?";
  if (ask_choice(question, {"No <esc>", "Yes"}, 0) == 1) {
    if (hooks.show_builder_list) hooks.show_builder_list();
    else show_text_list(builder_and_command_list(), "Builders and Commands");
  }
  return false;
}

// Commands hide library functions, which hide builders of the same name.
bool dispatch(const std::string& word, scriptstream& s) {
  auto command = commands.find(word);
  if (command != commands.end() && command->second.handler) return command->second.handler(s);
  if (is_library_function(word)) return run_library_function(word, s);
  auto builder = gBuilders.find(word);
  if (builder != gBuilders.end() && builder->second.func)
    return run_builder(builder->first, builder->second.func, s);
  return report_unknown_word(word);
}

// A nested run: a stream of its own whose messages are located from `where` on; run_script
// puts the enclosing command's location back when it returns.
template <class Text>
bool run_nested(const Text& text, const MessageLocation& where) {
  scriptstream_priv s(text, where);
  return run_script(s);
}

// The block of a stream that is no scriptstream_priv, taken character by character.
bool copy_brace_contents(scriptstream& s, std::string& out) {
  int depth = 1;
  while (s.good()) {
    int c = s.peek();
    if (c == EOF) break;
    if (c == '}') --depth;
    else if (c == '{') ++depth;
    if (depth == 0) break;
    out += (char)s.get();
  }
  return s.good();
}

// The offset of the '}' that closes a block whose text starts at `from`, or npos.
size_t closing_brace(std::string_view text, size_t from) {
  int depth = 1;
  for (size_t i = from; i < text.size(); ++i) {
    if (text[i] == '{') ++depth;
    else if (text[i] == '}' && --depth == 0) return i;
  }
  return std::string_view::npos;
}

// simple_form ["title"]: the quotes are dropped; without one the title is the default.
std::string read_form_title(scriptstream& s) {
  s.eatwhite();
  if (s.peek() != '"') return "Values and Expressions";
  s.get();
  std::string title;
  for (int c = s.get(); c != EOF && c != '"'; c = s.get()) title += (char)c;
  s.eatwhite();
  return title;
}

// The next command word; false when the stream is exhausted (a read that made no progress
// ends it too).
bool read_command_word(scriptstream& s, std::string& word) {
  while (s.good()) {
    const long before = s.tell();
    word.clear();
    s >> word;
    if (!word.empty()) return true;
    if (!s.good() || s.tell() == before) return false;
  }
  return false;
}

// What every command starts with: its line for messages, no hint left from the one before,
// the command limit, progress and the poll. False when the run must end.
bool start_command(const MessageLocation& where) {
  set_message_location(where);
  clear_alert_hint();
  if (command_limit > 0 && ++commands_run > command_limit) {
    alert("more than %ld commands in one run", command_limit);
    return end_run();
  }
  progress_add();
  if (hooks.run_poll && !hooks.run_poll()) return end_run();
  return true;
}

// Runs the work of command `word`, then applies the pins to whatever it assigned. False when
// it failed or the run must end.
template <class Work>
bool run_command(const std::string& word, Work work) {
  bool ok;
  try {
    ok = work();
  } catch (const char* text) {
    // The evaluator throws on a malformed name; the command it was reading for fails.
    alert("%s", text);
    return false;
  } catch (const std::bad_alloc&) {
    // What the command allocated is released by now; the run ends with a message.
    note_out_of_memory();
    alert_text("out of memory while running '" + word + "'");
    return end_run();
  }
  if (!gPinnedParameters.empty()) apply_pins();
  return ok && !run_ending;
}

}  // namespace

// -- running scripts

bool run_script(scriptstream& s) {
  RunDepth depth;
  if (active_runs > kMaxNesting + 1) {
    alert("script nesting deeper than 256 levels (a library function or include that calls itself?)");
    return end_run();
  }
  if (run_ending || (hooks.run_poll && !hooks.run_poll())) return end_run();
  MessageLocationGuard location;  // the caller's location is back when this run ends
  std::string word;
  while (read_command_word(s, word)) {
    if (!start_command(s.last_word_location())) return false;
    if (!run_command(word, [&] { return dispatch(word, s); })) return false;
  }
  return true;
}

void reset_script_state() {
  Grid::destroy_grids();
  reset_params();
  var_stack.clear();
  reset_part_names();
  reset_part_properties();
  stored_expressions = startup.expressions;
  matrix_stack = startup.matrices;
  gParameterFrames = startup.frames;
  clear_out_of_memory();
  commands_run = 0;
  included_files().clear();
  imported_files().clear();
}

void keep_startup_state() { startup = {stored_expressions, matrix_stack, gParameterFrames}; }
void limit_commands(long count) { command_limit = count; }

bool start_script(std::string& text, const std::string& file) {
  reset_script_state();
  bool ok;
  progress_phase("running " + file, "commands");
  begin_message_run();
  {
    scriptstream_priv s(text, {file, 1});
    ok = run_script(s);
  }
  end_message_run();
  set_message_location({});
  for (const std::string& name : unread_pins())
    if (!predefined_param(name)) warning("parameter '%s' given with --D was never read", name.c_str());
  // What was built before a failure is kept and merged all the same.
  long points = 0;
  for (const Grid* g : Grid::gGrids) points += (long)g->mPts.size();
  progress_phase("merging", "points", points);
  merge_grid_pts();
  renumber_grid_pts();
  return ok;
}

// Braces are counted as plain characters: comments are gone before the stream sees them.
bool brace_contents(scriptstream& s, ScriptText& out, MessageLocation* where) {
  out = ScriptText();
  s.eatwhite();
  if (s.peek() != '{') return false;
  const long brace = s.tell();
  s.get();
  if (where) *where = s.location_at(brace + 1);
  auto* priv = dynamic_cast<scriptstream_priv*>(&s);
  if (!priv) {
    std::string copy;
    if (!copy_brace_contents(s, copy)) return false;
    s.get();
    out = ScriptText::of(std::move(copy));
    return true;
  }
  const size_t close = closing_brace(priv->text(), (size_t)brace + 1);
  if (close == std::string_view::npos) {
    // Unbalanced: the rest of the text is taken and the stream fails.
    out = priv->slice(brace + 1, (long)priv->text().size());
    while (s.good() && s.peek() != EOF) s.ignore(1 << 30);
    return false;
  }
  out = priv->slice(brace + 1, (long)close);
  s.ignore((int)(close - (size_t)brace));  // the block and its closing brace
  return true;
}

bool brace_contents(scriptstream& s, std::string& out, MessageLocation* where) {
  ScriptText block;
  const bool ok = brace_contents(s, block, where);
  out = block.str();
  return ok;
}

bool grab_tmp_script(scriptstream& s, std::string& out, MessageLocation* where) {
  s.eatwhite();
  if (s.peek() != '{' || !brace_contents(s, out, where)) return false;
  out += ' ';
  return true;
}

bool run_tmp_script(const std::string& text, const MessageLocation& where) {
  if (text.empty()) return false;
  return run_nested(text, where);
}

bool run_tmp_script(const ScriptText& text, const MessageLocation& where) {
  if (text.empty()) return false;
  return run_nested(text, where);
}

bool run_tmp_script(std::string&& text, const MessageLocation& where) {
  if (text.empty()) return false;
  scriptstream_priv s(std::move(text), where);
  return run_script(s);
}

// Unlike run_tmp_script, an empty block is a block that does nothing: it succeeds.
bool run_block(const std::string& text, const MessageLocation& where) {
  push_part_name();
  bool ok = run_nested(text, where);
  pop_part_name();
  return ok;
}

bool run_block(const ScriptText& text, const MessageLocation& where) {
  push_part_name();
  bool ok = run_nested(text, where);
  pop_part_name();
  return ok;
}

// -- blocks run once per pass

// Only `set` with a plain name and a [bracketed] value, read as set_param would read it
// (no '@' definition can stand between the words, no joined numbers warn).
LoopBlock::LoopBlock(const ScriptText& text, const MessageLocation& where) {
  auto set = commands.find("set");
  if (set == commands.end() || set->second.handler != set_param) return;
  if (text.view().find('@') != std::string_view::npos) return;
  if (active_runs + 1 > kMaxNesting + 1) return;
  scriptstream_priv s(text, where);
  std::string word;
  while (read_command_word(s, word)) {
    Setting setting;
    setting.where = s.last_word_location();
    if (word != "set") return;
    s >> setting.name;
    if (!plain_param_name(setting.name)) return;
    s.eatwhite();
    if (s.peek() != '[') return;
    s.get();
    std::string raw;
    int c;
    while ((c = s.get()) != EOF && c != ']') raw += static_cast<char>(c);
    if (c != ']' || !s.good() || squeeze_expression(raw, setting.expression)) return;
    mSettings.push_back(std::move(setting));
  }
  mPrepared = true;
}

// read_param: the parameter exists (as 0) before its value is read; an expression is compiled
// against the tables as they stand when it is first met. A block of settings neither removes
// parameters nor defines stored expressions, so what it compiled stays bound in later passes.
bool LoopBlock::run_setting(Setting& setting) {
  if (!start_command(setting.where)) return false;
  static const std::string kSet = "set";
  return run_command(kSet, [&] {
    if (!setting.slot) setting.slot = &gParameters[setting.name];
    if (!setting.value) setting.value.emplace(setting.expression);
    *setting.slot = setting.value->evaluate();
    count_number_read();
    return true;
  });
}

bool LoopBlock::run_pass() {
  push_part_name();
  bool ok = true;
  {
    RunDepth depth;
    if (run_ending || (hooks.run_poll && !hooks.run_poll())) ok = end_run();
    for (size_t i = 0; ok && i < mSettings.size(); ++i) ok = run_setting(mSettings[i]);
  }
  pop_part_name();
  return ok;
}

// -- commands of this module

// stop
// Ends the stream it was read from: the whole script at top level, otherwise only the
// block, body or file that contains it.
bool stop_script(scriptstream& s) {
  std::string word;
  while (s.good()) {
    word.clear();
    s >> word;
    if (word.empty()) break;
  }
  return true;
}

const char* version_text() { return PELGROVE_VERSION_TEXT; }

// version
bool show_version(scriptstream&) {
  if (hooks.show_version) hooks.show_version();
  else script_output() << version_text() << '\n' << std::flush;
  return true;
}

// print <variable_name>
// An unknown name stops the script.
bool command_print(scriptstream& s) {
  std::string name;
  s >> name;
  note_param_read(name);
  auto p = gParameters.find(name);
  if (p == gParameters.end()) {
    NearestName near(name);
    for (const auto& [known, value] : gParameters) near.consider(known);
    alert_text("print: no parameter named '" + name + "'" + near.hint());
    return false;
  }
  progress_clear();
  script_output() << name << "=" << format_number(p->second) << '\n' << std::flush;
  return true;
}

// simple_form ["title"] {<set commands>}
bool command_simple_form(scriptstream& s) {
  std::string title = read_form_title(s);
  std::string block;
  MessageLocation where;
  if (!brace_contents(s, block, &where)) {
    alert("simple_form Definition Error\ndid not find a brace enclosed block");
    return false;
  }
  // Without a form (batch mode) the values written in the block are the values.
  if (!hooks.simple_form) return run_nested(block, where);
  std::string script;
  if (!hooks.simple_form(block, title, script)) {
    alert("simple_form contents synchronized with script");
    return false;
  }
  return run_nested(script, where);
}

// -- the command table

void map_commands() {
  // The parametric builders take and run their per-point scripts through these.
  Interp_Hooks runners = interp_hooks();
  runners.grab_script = grab_tmp_script;
  runners.run_script = run_tmp_script;
  install_interp_hooks(runners);
  commands = {
      {"stop", {"stop", stop_script}},
      {"version", {"version", show_version}},
      {"set", {"set <parameter_name> <parameter_value>", set_param}},
      {"array", {"array <parameter_name> { <val0> <val1> .. }", array_param}},
      {"simple_form", {"simple_form {<set commands>}", command_simple_form}},
      {"include", {"include <file_name>", command_include}},
      {"define", {"define <library_function_name> { <script> }", command_define}},
      {"build", {"build  <library_function_name> <arg1 ...> ;", command_build}},
      {"repeat", {"repeat <count> { <script> }", command_repeat}},
      {"if", {"if <int> { <true_script> } { <optional_false_script> }", command_if}},
      {"if0", {"if0 <int> { <true_script> } { <optional_false_script> }", command_if0}},
      {"ifpos", {"ifpos <int> { <true_script> } { <optional_false_script> }", command_ifpos}},
      {"ifneg", {"ifneg <int> { <true_script> } { <optional_false_script> }", command_ifneg}},
      {"ifset", {"ifset <name> { <true_script> } { <optional_false_script> }", command_ifset}},
      {"ifnset", {"ifnset <name> { <true_script> } { <optional_false_script> }", command_ifnset}},
      {"switch", {"switch <value> {\n  case <value1> {<script1>}\n  case <value2> {<script2>}\n   ...\n  default {<default_script>}}", command_switch}},
      {"move", {"move  <dx> <dy> <dz>", command_move}},
      {"mx", {"mx  <dx>", command_mx}},
      {"my", {"my  <dy>", command_my}},
      {"mz", {"mz  <dz>", command_mz}},
      {"rx", {"rx  <deg>", command_rx}},
      {"ry", {"ry  <deg>", command_ry}},
      {"rz", {"rz  <deg>", command_rz}},
      {"print", {"print <variable_name>", command_print}},
      {"push_rgba", {"push_rgba", command_push_rgba}},
      {"pop_rgba", {"pop_rgba", command_pop_rgba}},
      {"push", {"push  <variable_name>", command_push_var}},
      {"pop", {"pop  <variable_name>", command_pop_var}},
      {"push_frame", {"push_frame", command_push_frame}},
      {"pop_frame", {"pop_frame", command_pop_frame}},
      {"push_matrix", {"push_matrix", command_pushm}},
      {"pop_matrix", {"pop_matrix", command_popm}},
      {"begin", {"begin <part_name>", command_begin_part}},
      {"begin_numbered", {"begin_numbered <number>", command_begin_numbered_part}},
      {"push_name", {"push_name", command_push_name}},
      {"pop_name", {"pop_name", command_pop_name}},
      {"delete", {"delete <part_name>", command_delete_part}},
      {"material", {"material <name>", command_material}},
      {"element_name", {"element_name <bar|triangle|quadrilateral> <element_type>", command_element_name}},
      {"function", {"function <func_name> <type> <definition>", command_user_func}},
      {"partition", {"partition {m1 m2 ...} {n1 n2 ...} { <script> }", command_partition}},
  };
}
