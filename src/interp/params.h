// params: the parameter table, the variable stack, colour shortcuts and whole-table frames.
// Every numeric script state lives in gParameters; parts copy colour, tolerances and
// element type from it when they are made.
#pragma once

#include <map>
#include <string>
#include <vector>

class scriptstream;

struct VarValue {
  std::string name;
  double value = 0.0;
};

// -- state
// Per run: reset by reset_params (called from start_script).
extern std::map<std::string, double> gParameters;
// Set once after library loading; merged into every reset. Lives for the process.
extern std::map<std::string, double> gParameters_preloaded;
// Per run: emptied by start_script.
extern std::vector<VarValue> var_stack;
// Saved whole tables; lives for the process (not cleared between runs).
extern std::vector<std::map<std::string, double>> gParameterFrames;
// Tracing of library-function calls; cleared by reset_params.
extern bool trace_back;

// -- operations
void reset_params();  // predefined set, preloaded entries, empty transformation
bool push_var(const std::string& name);
bool pop_var(const std::string& name);
bool push_var_frame();
bool pop_var_frame();
// True when `name` consists only of letters, digits, '_' and '.'.
bool valid_param_name(const std::string& name);

// -- commands
bool set_param(scriptstream& s);          // set <parameter_name> <parameter_value>
bool array_param(scriptstream& s);        // array <parameter_name> { <val0> <val1> .. }
bool command_push_var(scriptstream& s);   // push <variable_name>
bool command_pop_var(scriptstream& s);    // pop <variable_name>
bool command_push_rgba(scriptstream& s);  // push_rgba
bool command_pop_rgba(scriptstream& s);   // pop_rgba
bool command_push_frame(scriptstream& s); // push_frame
bool command_pop_frame(scriptstream& s);  // pop_frame
