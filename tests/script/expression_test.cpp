#include "script_fixture.h"

#include <cmath>
#include <string>

namespace {

using ExpressionTest = ExprTest;

std::string unknown_alert(const std::string& name) {
  return "unknown function or variable '" + name +
         "'\nIf this was supposed to be a new variable use '=' immediately after the name";
}

// The text of a const char* thrown by the evaluator, or "" when nothing was thrown.
std::string thrown_text(const char* text) {
  try {
    evaluate_expression(text);
  } catch (const char* message) {
    return message;
  }
  return "";
}

}  // namespace

TEST_F(ExpressionTest, PrecedenceAndTheScanQuirks) {
  struct Row {
    const char* text;
    double value;
  } rows[] = {
      {"1+2*3", 7},       {"2^3^2", 64},       {"-2^2", -4},     {"2*3%4", 6},      {"7%3", 1},
      {"-7%3", -1},       {"-5", -5},          {"2*-3", -1},     {"2^-1", 1},       {"(1+2)*3", 9},
      {"2 3", 5},         {"2*3 4", 24},       {"", 0},          {"   ", 0},        {"1+2)*3", 3},
      {"1+2;5", 3},       {"10/4", 2.5},       {"8/2/2", 2},     {"2-3-4", -5},     {"2^2^0.5", 2},
      {".5+.25", 0.75},   {". 1", 1},          {"1e3+1", 1001},  {"\t7 \n", 7},     {"2*(3+4)^2", 98},
      {"2@3", 5},         {"((2))", 2},        {"()", 0},        {"-(1+2)", -3},    {"3-(1", 3},
      {"1 - -1", 0},      {"4/2*3", 6},        {"2+3*4^2", 50},  {"0.1e1*5", 5},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    sink.clear();
    EXPECT_DOUBLE_EQ(eval(row.text), row.value);
    if (std::string(row.text) != "3-(1") {
      EXPECT_TRUE(alerts().empty());
    }
  }
}

TEST_F(ExpressionTest, IeeeResultsWithoutMessages) {
  EXPECT_TRUE(std::isinf(eval("1/0")));
  EXPECT_TRUE(std::isnan(eval("0/0")));
  EXPECT_TRUE(std::isnan(eval("5%0")));
  EXPECT_TRUE(alerts().empty());
}

TEST_F(ExpressionTest, PositionEndsPastTheTerminator) {
  struct Row {
    const char* text;
    int start, end;
    double value;
  } rows[] = {
      {"1+2)*3", 0, 4, 3}, {"a=1;b=2", 2, 4, 1}, {"1+2", 0, 3, 3}, {"(1);9", 0, 4, 1}, {"x;5", 2, 3, 5},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    int pos = row.start;
    EXPECT_DOUBLE_EQ(evaluate_expression(pos, row.text), row.value);
    EXPECT_EQ(pos, row.end);
  }
}

TEST_F(ExpressionTest, AssignmentsSetParametersAndAddNothing) {
  EXPECT_EQ(eval("w=3"), 0);
  EXPECT_EQ(gParameters["w"], 3);
  EXPECT_EQ(eval("w*2"), 6);
  EXPECT_EQ(eval("(w=4)"), 0);
  EXPECT_EQ(gParameters["w"], 4);
  EXPECT_EQ(eval("a=1;b=2"), 0);
  EXPECT_EQ(gParameters["a"], 1);
  EXPECT_EQ(gParameters["b"], 2);
  // The current term keeps the operand before the name.
  EXPECT_EQ(eval("2+c=5"), 2);
  EXPECT_EQ(gParameters["c"], 5);
  // The parameter exists (as 0) while its own value is computed.
  EXPECT_EQ(eval("n=n+1"), 0);
  EXPECT_EQ(gParameters["n"], 1);
  EXPECT_EQ(eval("n=n+1"), 0);
  EXPECT_EQ(gParameters["n"], 2);
  // A chained assignment stores the inner assignment's result, 0.
  eval("p=q=3");
  EXPECT_EQ(gParameters["q"], 3);
  EXPECT_EQ(gParameters["p"], 0);
  EXPECT_EQ(eval("refine.max_iter=7"), 0);
  EXPECT_EQ(eval("refine.max_iter+1"), 8);
  EXPECT_TRUE(alerts().empty());
}

TEST_F(ExpressionTest, UnknownNameAlertsAndKeepsTheValueSoFar) {
  EXPECT_EQ(eval("1+nosuch*2+100"), 1);
  EXPECT_EQ(alerts(), std::vector<std::string>{unknown_alert("nosuch")});
  sink.clear();
  EXPECT_EQ(eval("nosuch"), 0);
  EXPECT_EQ(alerts(), std::vector<std::string>{unknown_alert("nosuch")});
}

TEST_F(ExpressionTest, MissingCloseParenthesisAlerts) {
  struct Row {
    const char* text;
    double value;
  } rows[] = {{"(1+2", 0}, {"5+(1+2", 5}, {"5*(", 5}, {"4+(1;2)", 4}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    sink.clear();
    EXPECT_EQ(eval(row.text), row.value);
    EXPECT_EQ(alerts(), std::vector<std::string>{"Unbalanced parentheses"});
  }
}

TEST_F(ExpressionTest, DollarNamesFailSilently) {
  gParameters["w"] = 3;
  struct Row {
    const char* text;
    double value;
  } rows[] = {{"$w*2", 6}, {"1+$nosuch+5", 1}, {"2+$", 2}, {"4+$x$nosuch", 4}, {"$w$", 0}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_EQ(eval(row.text), row.value);
  }
  EXPECT_TRUE(alerts().empty());
}

TEST_F(ExpressionTest, IndexSuffixNamesAParameter) {
  gParameters["x2"] = 7;
  gParameters["x-1"] = 5;
  gParameters["x0"] = 9;
  struct Row {
    double i;
    double value;
  } rows[] = {{2.9, 7}, {2, 7}, {-1, 5}, {-1.5, 5}, {0.7, 9}, {-0.7, 9}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.i);
    gParameters["i"] = row.i;
    EXPECT_EQ(eval("x$i"), row.value);
    EXPECT_EQ(eval("$x$i+1"), row.value + 1);
  }
  gParameters["i"] = 3;
  eval("x$i=4");
  EXPECT_EQ(gParameters["x3"], 4);
  // The suffix ends the name: "x$i.y" would need a parameter "i.y".
  gParameters["i.y"] = 2;
  EXPECT_EQ(eval("x$i.y"), 7);
}

TEST_F(ExpressionTest, MalformedIndexSuffixThrows) {
  const std::string message = "poorly formed function or variable name";
  EXPECT_EQ(thrown_text("x$i"), message);      // i undefined
  EXPECT_EQ(thrown_text("1+x$+2"), message);   // empty index name
  EXPECT_EQ(thrown_text("f$i(2)"), message);
  gParameters["i"] = 1;
  gParameters["x1"] = 1;
  EXPECT_EQ(thrown_text("x$i"), "");
}

TEST_F(ExpressionTest, ThrowFromAStoredExpressionLeavesNoTrace) {
  stored_expressions["bad"] = "x$nosuch";
  EXPECT_EQ(thrown_text("1+bad"), "poorly formed function or variable name");
  stored_expressions["bad"] = "2";
  EXPECT_EQ(eval("bad*3"), 6);
  EXPECT_TRUE(alerts().empty());
}

TEST_F(ExpressionTest, StoredExpressionsAreEvaluatedAtEachUse) {
  stored_expressions["r"] = "2*w";
  gParameters["w"] = 3;
  EXPECT_EQ(eval("r+1"), 7);
  gParameters["w"] = 5;
  EXPECT_EQ(eval("r+1"), 11);
  EXPECT_EQ(eval("$r"), 10);
  // It shadows a parameter of the same name, even one just assigned.
  EXPECT_EQ(eval("r=50;r"), 10);
  EXPECT_EQ(gParameters["r"], 50);
  EXPECT_EQ(eval("r"), 10);
  // Stored expressions may use each other.
  stored_expressions["s"] = "r/2+1";
  EXPECT_EQ(eval("s"), 6);
  EXPECT_TRUE(alerts().empty());
}

TEST_F(ExpressionTest, SelfReferringStoredExpressionContributesZero) {
  struct Row {
    const char* id;
    std::vector<std::pair<std::string, std::string>> stored;
    const char* text;
    double value;
    const char* culprit;
  } rows[] = {
      {"direct", {{"a", "a+1"}}, "a+10", 11, "a"},
      {"through another", {{"a", "b+1"}, {"b", "a*2+3"}}, "a", 4, "a"},
      {"entered from the second", {{"a", "b+1"}, {"b", "a*2+3"}}, "b", 5, "b"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.id);
    sink.clear();
    stored_expressions.clear();
    for (const auto& [name, text] : row.stored) stored_expressions[name] = text;
    EXPECT_EQ(eval(row.text), row.value);
    EXPECT_EQ(alerts(),
              std::vector<std::string>{std::string("stored expression '") + row.culprit + "' refers to itself"});
  }
  // A name used twice side by side is no cycle.
  sink.clear();
  stored_expressions.clear();
  stored_expressions["one"] = "1";
  stored_expressions["two"] = "one+one";
  EXPECT_EQ(eval("two*two"), 4);
  EXPECT_TRUE(alerts().empty());
}

TEST_F(ExpressionTest, DeepNestingIsAbandonedWithOneAlert) {
  std::string ok = std::string(100, '(') + "1" + std::string(100, ')');
  EXPECT_EQ(eval(ok), 1);
  EXPECT_TRUE(alerts().empty());

  std::string deep = std::string(100000, '(') + "1" + std::string(100000, ')');
  eval(deep);
  ASSERT_EQ(alerts().size(), 1u);
  EXPECT_NE(alerts()[0].find("nested"), std::string::npos);
}
