// expression: the evaluator of bracketed numeric expressions.
// The shared scan (expression_scanner) with values for terms; reads and assigns gParameters,
// reads stored_expressions, calls the function library.
#pragma once

#include "script/expression_scanner.h"

#include <string>

// Evaluates from `pos`; leaves `pos` just past the ')' or ';' that ended it, or at the end.
// Throws const char* "poorly formed function or variable name" on a malformed x$i suffix.
double evaluate_expression(int& pos, const char* text);
double evaluate_expression(const char* text);
// True when evaluating `text` may warn (an ignored character, an operator after another);
// a superset of the evaluator's warnings, so a compiled form can leave such texts to it.
bool expression_has_quirks(const char* text);
// Reads a name (letters, digits, '_', '.', with an optional $index suffix) appending to `name`.
bool evaluate_variable_name(int& pos, const int& length, const char* text, std::string& name);
// Value of a stored expression (preferred) or parameter; false when neither exists.
bool evaluate_variable(std::string& name, Term& term);
// Truncation toward zero that saturates at the int range (NaN gives 0).
int truncate_to_int(double x);

// -- shared with the expression compiler (compiled_expression)
// below <- below op value for operator code op (0 combines nothing). The one copy of the
// arithmetic, so that a NaN result carries the same sign and payload for every caller.
void combine(double& below, int op, double value);
// Counts `levels` more evaluations as in progress while it lives: code that stands in for
// that many nested scans keeps the depth limit where the scan itself would meet it.
class NestedEvaluation {
public:
  explicit NestedEvaluation(int levels);
  ~NestedEvaluation();
  NestedEvaluation(const NestedEvaluation&) = delete;
  NestedEvaluation& operator=(const NestedEvaluation&) = delete;

private:
  int mLevels;
};
