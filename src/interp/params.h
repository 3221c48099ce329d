// params: the parameter commands (set, array, push/pop, colour and frame shortcuts) and the
// per-run reset of the parameter store (script/parameters.h).
#pragma once

#include "script/parameters.h"

#include <string>

class scriptstream;

// -- state
// Tracing of library-function calls; cleared by reset_params.
extern bool trace_back;

// -- operations
void reset_params();  // predefined set, preloaded entries, pins, empty transformation
// Pins a parameter from "name=value" (the value a number or one well-formed [bracketed
// expression], evaluated now, with a finite result and no message); false with `error`
// saying what is wrong.
bool pin_param(const std::string& definition, std::string& error);
// True for the parameters every run starts with (tolerance, element_type, color.r, ...).
bool predefined_param(const std::string& name);
// True for a name `set` stores with one number and nothing else (no colour, transformation,
// mode or tolerance): `set name value` is then read_param and no more.
bool plain_param_name(const std::string& name);

// -- commands
bool set_param(scriptstream& s);          // set <parameter_name> <parameter_value>
bool array_param(scriptstream& s);        // array <parameter_name> { <val0> <val1> .. }
bool command_push_var(scriptstream& s);   // push <variable_name>
bool command_pop_var(scriptstream& s);    // pop <variable_name>
bool command_push_rgba(scriptstream& s);  // push_rgba
bool command_pop_rgba(scriptstream& s);   // pop_rgba
bool command_push_frame(scriptstream& s); // push_frame
bool command_pop_frame(scriptstream& s);  // pop_frame
