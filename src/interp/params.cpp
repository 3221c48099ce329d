#include "interp/params.h"

#include "grid/part_properties.h"
#include "interp/placement.h"
#include "script/expression.h"
#include "script/scriptstream.h"
#include "util/message.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <iterator>
#include <sstream>

bool trace_back = false;

namespace {

// The parameters every run starts from, in the order they are set.
const VarValue kPredefined[] = {
    {"element_type", 1},
    {"tolerance", 0},
    {"ptolerance", 0},
    {"color.r", 1},
    {"color.g", 0.8},
    {"color.b", 0},
    {"color.a", 1},
    {"units", 1},
    {"glPolygonOffset.factor", 1},
    {"glPolygonOffset.units", 2},
    {"glLineWidth", 1},
    {"refine.max_iter", 10},
    {"refine.critical_A", 0.97},
    {"refine.triangles", 1},
    {"thickness", 0},
};

// The words `set element_type` accepts and the value each stands for.
struct ElementTypeWord {
  const char* word;
  double value;
};
const ElementTypeWord kElementTypeWords[] = {
    {"quads", 0},    {"tri0", 1}, {"tri_uni", 1},  {"tri1", 2}, {"tri_alt", 2},
    {"tri2", 3}, {"tri_best", 3}, {"tri3", 4}, {"tri_good", 4},
};

const char* const kElementTypeHelp =
    "argument to 'set element_type' must be  one of the following:\n"
    "quads  to generate quadrilaterals\n"
    "tri0 or tri_uni  to generate uniformly oriented triangles\n"
    "tri1 or tri_alt  to generate alternately oriented triangles\n"
    "tri2 or tri_best to generate the best triangulation for the grid\n"
    "tri3 or tri_good to select only perceptably better diagonals\n";

// Reads one number (plain or [expression]) into the parameter `name`. The entry exists
// before the number is read, so "[x+1]" for a new x sees 0; on failure it keeps its value.
bool read_param(scriptstream& s, const std::string& name) {
  double& slot = gParameters[name];
  double value = slot;
  s >> value;
  if (!s.good()) return false;
  slot = value;
  return true;
}

bool read_params(scriptstream& s, std::initializer_list<const char*> names) {
  for (const char* name : names)
    if (!read_param(s, name)) return false;
  return true;
}

bool read_values(scriptstream& s, double* values, int n) {
  for (int i = 0; i < n; ++i) {
    s >> values[i];
    if (!s.good()) return false;
  }
  return true;
}

// set origin x y z: a translation in front of the current transformation.
bool set_origin(scriptstream& s) {
  double v[3];
  if (!read_values(s, v, 3)) {
    alert("expected three values to set the current origin");
    return false;
  }
  return prepend_transformation("mx " + format_number(v[0]) + " my " + format_number(v[1]) + " mz " +
                                format_number(v[2]));
}

// set angles rz ry: the rotation about y acts on points before the one about z.
bool set_angles(scriptstream& s) {
  double v[2];
  if (!read_values(s, v, 2)) {
    alert("expected two values to set the current rotation angles rz,ry");
    return false;
  }
  return prepend_transformation("ry " + format_number(v[1]) + " rz " + format_number(v[0]));
}

// set element_type <word> or [expression]; an expression's value is stored unchecked.
bool set_element_type(scriptstream& s) {
  s.eatwhite();
  if (s.peek() == '[') {
    double value = 0;
    s >> value;
    gParameters["element_type"] = value;
    return true;
  }
  std::string word;
  s >> word;
  if (!word.empty() && word[0] == '[') {
    std::istringstream expression(word);
    gParameters["element_type"] = extract_double(expression);
    return true;
  }
  for (const auto& w : kElementTypeWords) {
    if (word == w.word) {
      gParameters["element_type"] = w.value;
      return true;
    }
  }
  alert("%s", kElementTypeHelp);
  return false;
}

// Why a pinned [expression] is not one well-formed expression, "" when it is: values and
// operators alternate (a sign may open a group), every '(' closes, nothing is left over.
// The evaluator reads more loosely ("1+" is 1, "sin(" is sin(0)); a pin is one value.
std::string malformed_expression(const std::string& text) {
  bool want_value = true, group_start = true;
  int depth = 0;
  const size_t n = text.size();
  for (size_t i = 0; i < n;) {
    const char c = text[i];
    const unsigned char u = static_cast<unsigned char>(c);
    Term op;
    if (std::isspace(u)) {
      ++i;
    } else if (!want_value) {
      if (operator_term(c, op)) {
        want_value = true;
        group_start = false;
      } else if (c != ')') {
        return std::string("an operator is missing before '") + c + "'";
      } else if (depth-- == 0) {
        return "')' has no '('";
      }
      ++i;
    } else if ((c == '+' || c == '-') && group_start) {
      group_start = false;
      ++i;
    } else if (std::isdigit(u) || c == '.') {
      char* end = nullptr;
      std::strtod(text.c_str() + i, &end);
      if (end == text.c_str() + i) return "a '.' is not a number";
      i = static_cast<size_t>(end - text.c_str());
      want_value = false;
    } else if (std::isalpha(u) || c == '$') {
      while (++i < n && (is_name_char(text[i]) || text[i] == '$')) {}
      group_start = true;
      if (i < n && text[i] == '(') {  // a call, perhaps of no argument: rand()
        ++depth;
        size_t k = i + 1;
        while (k < n && std::isspace(static_cast<unsigned char>(text[k]))) ++k;
        if (k < n && text[k] == ')') {
          --depth;
          i = k;
          want_value = false;
        }
        ++i;
      } else if (i < n && text[i] == '=') {
        ++i;
      } else {
        want_value = false;
      }
    } else if (c == '(') {
      ++depth;
      group_start = true;
      ++i;
    } else {
      return std::string("a value is missing before '") + c + "'";
    }
  }
  if (want_value) return text.find_first_not_of(" \t") == std::string::npos ? "it is empty" : "it ends without its last value";
  if (depth > 0) return "a '(' is not closed";
  return "";
}

}  // namespace

// -- operations

void reset_params() {
  trace_back = false;
  gParameters.clear();
  for (const auto& p : kPredefined) gParameters[p.name] = p.value;
  gTransformation.clear();
  // Library files may add parameters but never change a predefined default.
  gParameters.insert(gParameters_preloaded.begin(), gParameters_preloaded.end());
  apply_pins();
  forget_pin_reads();
}

bool pin_param(const std::string& definition, std::string& error) {
  const size_t eq = definition.find('=');
  const std::string name = definition.substr(0, eq);
  if (eq == std::string::npos || name.empty() || !valid_param_name(name)) {
    error = "'" + definition + "' is not name=value (a name of letters, digits, '_' and '.')";
    return false;
  }
  const std::string text = definition.substr(eq + 1);
  const size_t open = text.find_first_not_of(" \t"), close = text.find_last_not_of(" \t");
  if (open != std::string::npos && text[open] == '[' && text[close] == ']') {
    const std::string why = malformed_expression(text.substr(open + 1, close - open - 1));
    if (!why.empty()) {
      error = "the value of '" + definition + "' is not a well-formed expression: " + why;
      return false;
    }
  }
  const int alerts = alert_count(), warnings = warning_count();
  scriptstream_priv s(text, {"--D", 1});
  double value = 0;
  s >> value;
  bool ok = s.good() && alert_count() == alerts && warning_count() == warnings;
  std::string rest;
  if (ok) s >> rest;
  if (!ok || !rest.empty()) {
    error = "the value of '" + definition + "' is not a number or a [bracketed expression]";
    return false;
  }
  if (!std::isfinite(value)) {
    error = "the value of '" + definition + "' is not finite";
    return false;
  }
  gPinnedParameters[name] = value;
  gParameters[name] = value;
  return true;
}

bool predefined_param(const std::string& name) {
  for (const auto& p : kPredefined)
    if (name == p.name) return true;
  return false;
}

// -- commands

bool plain_param_name(const std::string& name) {
  // The names set_param below reads or scales in a way of their own.
  static const char* const kApart[] = {"color", "rgba", "rgb", "origin", "angles", "element_type",
                                       "u_spacing", "v_spacing", "debug", "tolerance", "ptolerance"};
  if (!valid_param_name(name)) return false;
  for (const char* apart : kApart)
    if (name == apart) return false;
  return true;
}

// set <parameter_name> <parameter_value>
// Special names read several values or a word; the values of a multi-value name are
// stored one by one, so a failure part-way leaves the earlier ones set.
bool set_param(scriptstream& s) {
  std::string name;
  s >> name;
  if (name.empty()) {
    alert("set command requires a parameter name");
    return false;
  }
  if (!valid_param_name(name)) {
    alert_text("Invalid parameter Name '" + name +
               "'\nparameter names should only consist of letters, numbers, '_', and '.'");
    return false;
  }
  if (name == "color" || name == "rgba") {
    if (read_params(s, {"color.r", "color.g", "color.b", "color.a"})) return true;
    alert("expected four values to set the current rgba color");
    return false;
  }
  if (name == "rgb") {
    if (read_params(s, {"color.r", "color.g", "color.b"})) {
      gParameters["color.a"] = 1;
      return true;
    }
    alert("expected three values to set the current rgb color");
    return false;
  }
  if (name == "origin") return set_origin(s);
  if (name == "angles") return set_angles(s);
  if (name == "element_type") return set_element_type(s);
  if (name == "u_spacing" || name == "v_spacing") return set_part_spacing(name, s);
  if (name == "debug") {
    double ignored;
    s >> ignored;
    trace_back = true;
    return true;
  }
  if (!read_param(s, name)) {
    alert_text("expected a valid numeric value to set the parameter '" + name + "'");
    return false;
  }
  // Tolerances are lengths: they follow the units in force when they are set.
  if (name == "tolerance" || name == "ptolerance") gParameters[name] *= gParameters["units"];
  return true;
}

// array <parameter_name> { <val0> <val1> .. }
// Sets name.0, name.1, ... and name.size; an empty list sets nothing.
bool array_param(scriptstream& s) {
  std::string name;
  s >> name;
  if (name.empty()) {
    alert("array command requires a parameter name");
    return false;
  }
  s.eatwhite();
  if (s.peek() != '{') {
    alert("array command form is { val0 val1 val2 ... }, opening brace not found");
    return false;
  }
  s.get();
  for (int i = 0;; ++i) {
    s.eatwhite();
    if (s.peek() == '}') {
      s.get();
      return true;
    }
    std::string element = name + "." + std::to_string(i);
    if (!read_param(s, element)) {
      alert_text("expected a valid numeric value for array element '" + element + "'");
      return false;
    }
    gParameters[name + ".size"] = i + 1;
  }
}

// push <variable_name>
bool command_push_var(scriptstream& s) {
  std::string name;
  s >> name;
  if (name.empty()) {
    alert("push requires a parameter name");
    return false;
  }
  if (!stack_has_room(var_stack.size(), 1, "push")) return false;
  return push_var(name);
}

// pop <variable_name>
bool command_pop_var(scriptstream& s) {
  std::string name;
  s >> name;
  if (pop_var(name)) return true;
  alert_text("pop: no value of '" + name + "' was pushed");
  return false;
}

// push_rgba
bool command_push_rgba(scriptstream&) {
  if (!stack_has_room(var_stack.size(), 4, "push_rgba")) return false;
  for (const char* name : {"color.r", "color.g", "color.b", "color.a"}) push_var(name);
  return true;
}

// pop_rgba
bool command_pop_rgba(scriptstream&) {
  for (const char* name : {"color.r", "color.g", "color.b", "color.a"}) {
    if (pop_var(name)) continue;
    alert_text(std::string("pop_rgba: no colour was pushed (") + name + " has no saved value)");
    return false;
  }
  return true;
}

// push_frame
// Frames copy the whole table: besides their number, the values they hold together are
// bounded (estimated as frames times the current table size).
bool command_push_frame(scriptstream&) {
  if (!stack_has_room(gParameterFrames.size(), 1, "push_frame")) return false;
  const double values = (gParameterFrames.size() + 1.0) * gParameters.size();
  if (values > kMaxSavedValues) {
    alert("'push_frame' would keep more than %.0f saved values (is a pop_frame missing?)", kMaxSavedValues);
    return false;
  }
  return push_var_frame();
}

// pop_frame
// Parameters made since the push disappear.
bool command_pop_frame(scriptstream&) {
  if (pop_var_frame()) return true;
  alert_text("pop_frame: no parameter frame was pushed");
  return false;
}
