// part_names: the name the next part takes when naming is on, the stack of saved names
// whose top prefixes new names, and the commands that change them. Owns the naming state
// part_name, base_part_name, named_parts (per run, reset by start_script).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class scriptstream;

// -- naming state (per run; reset by start_script)
extern std::string part_name;
extern std::vector<std::string> base_part_name;
extern bool named_parts;
void reset_part_names();  // empty stack, named_parts false, part_name "unnamed"
// The name a part is given for `name`: blanks, other spaces and control characters become
// '_', bytes that are not UTF-8 (and U+FFFE, U+FFFF) '?', an empty name "unnamed", and a
// name is cut to its first kMaxPartNameBytes bytes (at a character's start). Every part is
// named through this, so every writer can keep its name as one word.
std::string clean_part_name(std::string_view name);
constexpr size_t kMaxPartNameBytes = 4096;
void push_part_name();    // as push_name
void pop_part_name();     // as pop_name

// -- commands
bool command_begin_part(scriptstream& s);           // begin <part_name>
bool command_begin_numbered_part(scriptstream& s);  // begin_numbered <number>
bool command_push_name(scriptstream& s);            // push_name
bool command_pop_name(scriptstream& s);             // pop_name
bool command_delete_part(scriptstream& s);          // delete <part_name>
