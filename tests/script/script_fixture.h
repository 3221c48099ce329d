// Fixture for the expression-language tests: the run reset (which also restores the stored
// expressions) plus the user functions, which live for the process, emptied before each case.
#pragma once

#include "interp/interp.h"
#include "interp/params.h"
#include "script/expression.h"
#include "script/functions.h"
#include "script/scriptstream.h"
#include "support/test_support.h"

class ExprTest : public ScriptTest {
protected:
  void SetUp() override {
    ScriptTest::SetUp();
    user_funcs.clear();
  }
  double eval(const std::string& text) { return evaluate_expression(text.c_str()); }
  // Defines a user function from "<name> <type> <definition>" as the `function` command does.
  bool define(const std::string& definition) {
    scriptstream_priv s(definition);
    return command_user_func(s);
  }
};
