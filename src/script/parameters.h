// parameters: the parameter store. Every numeric script state lives in gParameters; the
// evaluator reads and assigns it, parts copy colour, tolerances and element type from it
// when they are made. The commands that change it live in interp/params.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

struct VarValue {
  std::string name;
  double value = 0.0;
};

// Per run: reset by reset_params (called from start_script).
extern std::map<std::string, double> gParameters;
// Set once after library loading; merged into every reset. Lives for the process.
extern std::map<std::string, double> gParameters_preloaded;
// Per run: emptied by start_script.
extern std::vector<VarValue> var_stack;
// Saved whole tables; lives for the process, put back to its start-up state by each run's reset.
extern std::vector<std::map<std::string, double>> gParameterFrames;

// Parameters pinned from the command line (--D name=value): every run starts with them
// and whatever a script assigns, they keep their value. Lives for the process.
extern std::map<std::string, double> gPinnedParameters;

// Every saving stack (push, push_rgba, push_frame, push_matrix, push_name) holds at most
// this many entries: a push in a runaway loop ends the run with a message, not with
// memory exhausted.
constexpr size_t kMaxStackDepth = 100000;
// Frames save whole tables: together they hold at most this many values.
constexpr double kMaxSavedValues = 10.0 * kMaxStackDepth;

// -- operations
// True when `adding` more entries keep a stack of `depth` within kMaxStackDepth; otherwise
// alerts, naming `command`, and returns false.
bool stack_has_room(size_t depth, size_t adding, const char* command);
bool push_var(const std::string& name);
bool pop_var(const std::string& name);
bool push_var_frame();
bool pop_var_frame();
// True when `name` consists only of letters, digits, '_' and '.'.
bool valid_param_name(const std::string& name);

// Pinned parameters
bool is_pinned(const std::string& name);
// Writes the pinned values back into gParameters (after anything may have assigned them).
void apply_pins();
// The evaluator notes each pinned name it reads, so a pin nothing read can be reported.
void note_param_read(const std::string& name);
// Pinned names not read since forget_pin_reads.
std::vector<std::string> unread_pins();
void forget_pin_reads();
