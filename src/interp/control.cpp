#include "interp/control.h"

#include "interp/interp.h"
#include "interp/params.h"
#include "interp/placement.h"
#include "script/scriptstream.h"
#include "util/message.h"

#include <cmath>
#include <string>
#include <vector>

namespace {

// Saves one parameter and puts it back when the scope ends, also when a block failed.
// A parameter that did not exist is left existing with the value 0.
class SavedParam {
public:
  explicit SavedParam(const std::string& name) : mName(name) {
    auto p = gParameters.find(name);
    mExisted = p != gParameters.end();
    if (mExisted) mValue = p->second;
  }
  ~SavedParam() { gParameters[mName] = mExisted ? mValue : 0.0; }
  SavedParam(const SavedParam&) = delete;
  SavedParam& operator=(const SavedParam&) = delete;

private:
  std::string mName;
  bool mExisted = false;
  double mValue = 0.0;
};

// Runs a block with "0" set to `value`; "0" is restored afterwards.
bool run_block_with_zero(const ScriptText& block, const MessageLocation& where, double value) {
  SavedParam zero("0");
  gParameters["0"] = value;
  return run_block(block, where);
}

// The { block } after an if or a repeat; false, with the command's message, when it is
// missing or unbalanced.
bool take_block(scriptstream& s, const char* command, ScriptText& block, MessageLocation& where) {
  s.eatwhite();
  if (s.peek() != '{') {
    alert("Error in '%s' command\nopening '{' not found", command);
    return false;
  }
  if (!brace_contents(s, block, &where)) {
    alert("Error in '%s' command\nclosing '}' not found", command);
    return false;
  }
  return true;
}

// The integers of a partition list, up to the first word that is not a number.
std::vector<int> read_int_list(const ScriptText& text, const MessageLocation& where) {
  std::vector<int> values;
  scriptstream_priv list(text, where);
  while (list.good()) {
    int v = 0;
    list >> v;
    if (!list.good()) break;
    values.push_back(v);
  }
  return values;
}

double sum(const std::vector<int>& values) {
  double total = 0;
  for (int v : values) total += v;
  return total;
}

// Fraction `part` of `total`; an empty range (total 0) maps everything to 0 rather than NaN.
double fraction(double part, double total) { return total != 0 ? part / total : 0.0; }

bool is_zero(double v) { return v == 0; }
bool is_not_zero(double v) { return !(v == 0); }  // NaN counts as not equal to 0
bool is_positive(double v) { return v > 0; }
bool is_negative(double v) { return v < 0; }

}  // namespace

// { <true_script> } { <optional_false_script> }
// The else block is always consumed when present, and run only when the condition fails.
bool then_else(scriptstream& s, bool condition) {
  ScriptText block;
  MessageLocation where;
  if (!take_block(s, "if", block, where)) return false;
  if (condition && !run_block(block, where)) return false;

  s.eatwhite();
  if (s.peek() != '{') return true;
  ScriptText else_block;
  MessageLocation else_where;
  if (!brace_contents(s, else_block, &else_where)) {
    alert("Error in 'else' command\nclosing '}' not found");
    return false;
  }
  if (condition) return true;
  return run_block(else_block, else_where);
}

// <number> { <true_script> } { <optional_false_script> }, the number visible as "0".
// A number that cannot be read is taken as 0 without a message.
bool command_if_then_else(scriptstream& s, bool (*predicate)(double)) {
  double v = 0;
  s >> v;
  SavedParam zero("0");
  gParameters["0"] = v;
  return then_else(s, predicate(v));
}

// if <int> { <true_script> } { <optional_false_script> }
bool command_if(scriptstream& s) { return command_if_then_else(s, is_not_zero); }
// if0 <int> { <true_script> } { <optional_false_script> }
bool command_if0(scriptstream& s) { return command_if_then_else(s, is_zero); }
// ifpos <int> { <true_script> } { <optional_false_script> }
bool command_ifpos(scriptstream& s) { return command_if_then_else(s, is_positive); }
// ifneg <int> { <true_script> } { <optional_false_script> }
bool command_ifneg(scriptstream& s) { return command_if_then_else(s, is_negative); }

// ifset <name> { <true_script> } { <optional_false_script> }
// Only parameters count; a stored expression of that name does not.
bool command_ifset(scriptstream& s) {
  std::string name;
  s >> name;
  note_param_read(name);
  return then_else(s, gParameters.count(name) != 0);
}

// ifnset <name> { <true_script> } { <optional_false_script> }
bool command_ifnset(scriptstream& s) {
  std::string name;
  s >> name;
  note_param_read(name);
  return then_else(s, gParameters.count(name) == 0);
}

// switch <value> {
//   case <value1> {<script1>}
//   ...
//   default {<default_script>}}
// The first case equal to the value runs; the default runs only after the whole list was
// read without a match, wherever it stands. Case blocks run without saving the part name.
bool command_switch(scriptstream& s) {
  double value = 0;
  s >> value;
  ScriptText cases;
  MessageLocation cases_where;
  if (!brace_contents(s, cases, &cases_where)) {
    alert("Error in 'switch' command\nbrace enclosed cases not found");
    return false;
  }

  scriptstream_priv list(cases, cases_where);
  ScriptText default_script;
  MessageLocation default_where;
  for (;;) {
    std::string tag;
    list >> tag;
    if (tag.empty() || !list.good()) break;

    if (tag == "case") {
      double c = 0;
      list >> c;
      ScriptText block;
      MessageLocation where;
      if (c == value) {
        while (list.good() && list.peek() != '{') list.ignore();
        if (!brace_contents(list, block, &where)) {
          alert("Error in 'switch' command's 'case' %f\nno brace enclosed script found", c);
          return false;
        }
        if (block.empty()) {
          alert_text("Error in 'switch' command's 'case' " + format_number(c) + "\nits script is empty");
          return false;
        }
        return run_tmp_script(block, where);
      }
      list.eatwhite();
      if (list.peek() == '{' && !brace_contents(list, block, &where)) {
        alert("Error in 'switch' command\nmalformed brace enclosed script found");
        return false;
      }
    } else if (tag == "default") {
      if (!brace_contents(list, default_script, &default_where)) {
        alert("Error in 'switch' command's 'default' case\nno brace enclosed script found");
        return false;
      }
    } else {
      alert_text("Error in 'switch' command\nEncountered '" + tag + "'\nOnly 'case' and 'default' tags are allowed");
      return false;
    }
  }
  if (default_script.empty()) return true;
  return run_tmp_script(default_script, default_where);
}

// repeat <count> { <script> }
// Pass i (from 0) sees i in "0"; a count of 2.5 runs three passes, 0 or less none.
bool command_repeat(scriptstream& s) {
  double count = 0;
  s >> count;
  ScriptText block;
  MessageLocation where;
  if (!take_block(s, "repeat", block, where)) return false;
  if (!(0 < count)) return true;
  LoopBlock body(block, where);
  if (!body.prepared()) {
    for (double i = 0; i < count; i += 1) {
      if (!run_block_with_zero(block, where, i)) return false;
    }
    return true;
  }
  // "0" is saved once and put back once: between passes nothing reads it.
  SavedParam zero("0");
  double& pass = gParameters["0"];
  for (double i = 0; i < count; i += 1) {
    pass = i;
    if (!body.run_pass()) return false;
  }
  return true;
}

// partition {m1 m2 ...} {n1 n2 ...} { <script> }
// Runs the script once per (mi, nj), m-major, with the cell counts in "m" and "n" and the
// sub-range of the unit square in [S0m, S1m] x [S0n, S1n].
bool command_partition(scriptstream& s) {
  ScriptText m_text, n_text, block;
  MessageLocation m_where, n_where, where;
  s.eatwhite();
  if (s.peek() != '{' || !brace_contents(s, m_text, &m_where)) {
    alert_text("Error in 'partition {m1 m2 ...} {n1 n2 ...} { <script> }' command\n"
               "list of m-partions not found\n" + m_text.str());
    return false;
  }
  s.eatwhite();
  if (s.peek() != '{' || !brace_contents(s, n_text, &n_where)) {
    alert("Error in 'partition {m1 m2 ...} {n1 n2 ...} { <script> }' command\n"
          "list of n-partions not found");
    return false;
  }
  std::vector<int> ms = read_int_list(m_text, m_where);
  std::vector<int> ns = read_int_list(n_text, n_where);
  double M = sum(ms), N = sum(ns);
  if (!brace_contents(s, block, &where)) {
    alert("Error in 'partition {m1 m2 ...} {n1 n2 ...} { <script> }' command\nscript not found");
    return false;
  }

  SavedParam saved[] = {SavedParam("m"), SavedParam("n"), SavedParam("S0m"),
                        SavedParam("S1m"), SavedParam("S0n"), SavedParam("S1n")};
  double a = 0;
  for (int mi : ms) {
    gParameters["m"] = mi;
    gParameters["S0m"] = fraction(a, M);
    gParameters["S1m"] = fraction(a + mi, M);
    double b = 0;
    for (int nj : ns) {
      gParameters["n"] = nj;
      gParameters["S0n"] = fraction(b, N);
      gParameters["S1n"] = fraction(b + nj, N);
      if (!run_block(block, where)) return false;
      b += nj;
    }
    a += mi;
  }
  return true;
}
