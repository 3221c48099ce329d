// Part naming: the name the next part takes when naming is on, the stack of saved names
// whose top prefixes new names, and the commands that change them.
#include "grid/Grid.h"

#include "script/parameters.h"
#include "script/scriptstream.h"
#include "util/message.h"

#include <sstream>

std::string part_name = "unnamed";
std::vector<std::string> base_part_name;
bool named_parts = false;

namespace {

// "outer." inside a saved name, nothing at top level.
std::string name_prefix() { return base_part_name.empty() ? std::string() : base_part_name.back() + "."; }

void begin_part(const std::string& word) {
  named_parts = true;
  part_name = name_prefix() + word;
}

}  // namespace

void reset_part_names() {
  base_part_name.clear();
  named_parts = false;
  part_name = "unnamed";
}

void push_part_name() {
  named_parts = true;
  base_part_name.push_back(part_name);
}

void pop_part_name() {
  named_parts = true;
  if (base_part_name.empty()) {
    part_name = "unnamed";
    return;
  }
  part_name = base_part_name.back();
  base_part_name.pop_back();
}

// begin <part_name>
bool command_begin_part(scriptstream& s) {
  std::string word;
  s >> word;
  begin_part(word);
  return true;
}

// begin_numbered <number>
// The number is written as a stream writes a double: 3 -> "3", 2.5 -> "2.5", 1e6 -> "1e+06".
bool command_begin_numbered_part(scriptstream& s) {
  double value = 0;
  s >> value;
  std::ostringstream text;
  text << value;
  begin_part(text.str());
  return true;
}

// push_name
bool command_push_name(scriptstream&) {
  if (!stack_has_room(base_part_name.size(), 1, "push_name")) return false;
  push_part_name();
  return true;
}

// pop_name
bool command_pop_name(scriptstream&) {
  pop_part_name();
  return true;
}

// delete <part_name>
// A deleted part keeps its points (they are still merged and numbered) but has no elements.
bool command_delete_part(scriptstream& s) {
  std::string word;
  s >> word;
  bool found = false;
  for (Grid* g : Grid::gGrids) {
    if (g->name() != word) continue;
    g->set_deleted(true);
    found = true;
  }
  if (!found) alert_text("Could not find part named '" + word + "'");
  return found;
}
