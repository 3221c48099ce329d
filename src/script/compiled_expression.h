// compiled_expression: an expression text scanned once into a postfix program, for callers
// that evaluate the same text many times (the parametric builders, once per lattice point).
// The scan follows evaluate_expression step by step, so a program gives the evaluator's value,
// alerts and side effects; a text whose meaning could change between evaluations (assignments,
// $-indexed names, unknown names, unbalanced parentheses) keeps running through the evaluator.
#pragma once

#include "script/functions.h"

#include <string>
#include <vector>

class CompiledExpression {
public:
  // Compiles against the current gParameters and stored_expressions, which it does not change.
  explicit CompiledExpression(std::string text);

  // What evaluate_expression(text) would give now, with the same alerts and side effects.
  double evaluate();
  // False when the text runs through the evaluator.
  bool compiled() const { return mCompiled; }
  // True while every name still means what it meant when compiled: each parameter is the same
  // map entry and not shadowed by a stored expression, each stored expression still exists.
  // Only running commands (a script between evaluations) can change that.
  bool bindings_valid() const;
  // Compiles again against the current tables.
  void recompile();
  const std::string& text() const { return mText; }

  // A postfix program over an operand stack. The arithmetic comes in three forms: both
  // operands on the stack, the right one a constant (K) or a parameter (P).
  enum class Op : unsigned char {
    Const, Param, Stored, Builtin, Call,
    Add, Sub, Mul, Div, Mod, Pow,
    AddK, SubK, MulK, DivK, ModK, PowK,
    AddP, SubP, MulP, DivP, ModP, PowP,
  };
  struct Instr {
    Op op = Op::Const;
    int depth = 0;  // Stored: evaluations the scan would have open around the reference
    int name = -1;  // Stored, Call: index into mNames
    union {
      double value = 0.0;   // Const, *K
      const double* param;  // Param, *P: the gParameters entry
      BuiltinFunc fn;       // Builtin
    };
    int memo = -1;  // Builtin without side effects: its table of results in mMemos
  };
  // True when the program has no side effect and its value depends only on parameter values:
  // constants, parameters, arithmetic and built-ins that neither alert nor draw random numbers.
  // Such programs may be evaluated for many points in any order.
  bool pure() const { return mPure; }

private:
  std::string mText;
  bool mCompiled = false;
  bool mPure = false;
  std::vector<Instr> mCode;
  std::vector<std::string> mNames;  // stored expressions and functions called by name
  std::vector<std::pair<std::string, const double*>> mParams;  // parameter bindings
  std::vector<double> mStack;       // operand stack, sized by the compiler
  // Results of a pure built-in by argument bits: the last one, and a direct-mapped table
  // filled as met. Across a lattice the terms of one parameter repeat in every row.
  struct MemoEntry {
    unsigned long long bits = 0;
    double result = 0.0;
  };
  struct Memo {
    MemoEntry last;
    std::vector<MemoEntry> table;  // empty until the first call
  };
  std::vector<Memo> mMemos;
  double call_memo(int memo, BuiltinFunc fn, double arg);
};
