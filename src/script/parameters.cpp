#include "script/parameters.h"

#include "util/message.h"

#include <iterator>
#include <set>

std::map<std::string, double> gParameters;
std::map<std::string, double> gParameters_preloaded;
std::vector<VarValue> var_stack;
std::vector<std::map<std::string, double>> gParameterFrames;
std::map<std::string, double> gPinnedParameters;

namespace {

std::set<std::string> pins_read;

bool name_char(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '.';
}

}  // namespace

bool valid_param_name(const std::string& name) {
  for (char c : name)
    if (!name_char(c)) return false;
  return true;
}

bool stack_has_room(size_t depth, size_t adding, const char* command) {
  if (depth + adding <= kMaxStackDepth) return true;
  alert("'%s' would keep more than %zu saved entries (is a pop missing?)", command, kMaxStackDepth);
  return false;
}

bool push_var(const std::string& name) {
  var_stack.push_back({name, gParameters[name]});
  return true;
}

// Takes the most recent entry of that name, wherever it stands; entries above it stay.
bool pop_var(const std::string& name) {
  for (auto it = var_stack.rbegin(); it != var_stack.rend(); ++it) {
    if (it->name != name) continue;
    gParameters[name] = it->value;
    var_stack.erase(std::next(it).base());
    return true;
  }
  return false;
}

bool push_var_frame() {
  gParameterFrames.push_back(gParameters);
  return true;
}

bool pop_var_frame() {
  if (gParameterFrames.empty()) return false;
  gParameters = std::move(gParameterFrames.back());
  gParameterFrames.pop_back();
  return true;
}

bool is_pinned(const std::string& name) { return gPinnedParameters.count(name) != 0; }

void apply_pins() {
  for (const auto& [name, value] : gPinnedParameters) gParameters[name] = value;
}

void note_param_read(const std::string& name) {
  if (is_pinned(name)) pins_read.insert(name);
}

std::vector<std::string> unread_pins() {
  std::vector<std::string> names;
  for (const auto& [name, value] : gPinnedParameters)
    if (!pins_read.count(name)) names.push_back(name);
  return names;
}

void forget_pin_reads() { pins_read.clear(); }
