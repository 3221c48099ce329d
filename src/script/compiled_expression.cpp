// compiled_expression: the evaluator's scan (expression_scanner) run once with programs in
// place of values. Where the evaluator's steps give a term a value, the compiler's give it
// the code; where the evaluator combines a term into the one below, the compiler appends the
// term's code and its operator to the code below. Evaluating the program left to right then computes every
// operand, calls every function and combines every pair in the evaluator's order.

#include "script/compiled_expression.h"

#include "script/expression.h"
#include "script/expression_scanner.h"
#include "script/parameters.h"
#include "script/scriptstream.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>

using Op = CompiledExpression::Op;
using Instr = CompiledExpression::Instr;
using Code = std::vector<Instr>;

namespace {

// Beyond this nesting the text is left to the evaluator (which stops at kMaxExpressionDepth).
constexpr int kMaxCompileDepth = 200;

// Thrown inside the compiler when the text must run through the evaluator.
struct Interpret {};

Instr constant(double value) {
  Instr in;
  in.value = value;
  return in;
}

// Operator code 1..6 -> the stack form; the K and P forms follow it in the same order.
Op arithmetic(int op) {
  static const Op kOps[] = {Op::Add, Op::Add, Op::Sub, Op::Mul, Op::Div, Op::Mod, Op::Pow};
  return kOps[op];
}
Op with_constant(Op op) { return Op(int(op) - int(Op::Add) + int(Op::AddK)); }
Op with_param(Op op) { return Op(int(op) - int(Op::Add) + int(Op::AddP)); }

bool single(const Code& code, Op op) { return code.size() == 1 && code[0].op == op; }

// below <- below op top, in as few instructions as give the same operations in the same order:
// two constants fold (the same operation, done once); a constant or parameter on the right
// becomes the instruction's operand; so does a constant on the left of + or *, since c + x and
// c * x are exactly x + c and x * c unless both are NaNs (whose payloads would swap), and a
// constant from the text is not a NaN (a folded one may be, and stays on the left).
void combine_code(Code& below, int op, Code& top) {
  if (op == 0) throw Interpret{};  // the end marker is never below another term
  const Op arith = arithmetic(op);
  if (single(below, Op::Const) && single(top, Op::Const)) {
    ::combine(below[0].value, op, top[0].value);
    return;
  }
  if (single(top, Op::Const) || single(top, Op::Param)) {
    Instr in = top[0];
    in.op = top[0].op == Op::Const ? with_constant(arith) : with_param(arith);
    below.push_back(in);
    return;
  }
  const bool commutative = arith == Op::Add || arith == Op::Mul;
  if (commutative && single(below, Op::Const) && !std::isnan(below[0].value)) {
    Instr in = below[0];
    in.op = with_constant(arith);
    below = std::move(top);
    below.push_back(in);
    return;
  }
  below.insert(below.end(), top.begin(), top.end());
  Instr in;
  in.op = arith;
  below.push_back(in);
}

class Compiler {
public:
  Compiler(const char* text, std::vector<std::string>& names,
           std::vector<std::pair<std::string, const double*>>& params)
      : mText(text), mLength(static_cast<int>(std::strlen(text))), mNames(names), mParams(params) {}

  // evaluate_expression(pos, text) at nesting `depth` (1 for the whole text).
  Code scan(int& pos, int depth);
  // No stored expression, user function or built-in with a side effect was met.
  bool pure() const { return mPure; }
  // Pure built-in calls, numbered by their Instr::memo.
  int memos() const { return mMemos; }

  // evaluate_variable: a stored expression is evaluated at each use, a parameter is read
  // from its map entry; an unknown name ends the scan with or without an alert.
  Code reference(const std::string& name, int depth) {
    Instr in;
    if (stored_expressions.count(name)) {
      mPure = false;
      in.op = Op::Stored;
      in.depth = depth;
      in.name = name_index(name);
      return {in};
    }
    auto param = gParameters.find(name);
    if (param == gParameters.end()) throw Interpret{};
    if (!gPinnedParameters.empty()) note_param_read(name);
    in.op = Op::Param;
    in.param = &param->second;
    mParams.emplace_back(name, in.param);
    return {in};
  }
  Instr call(const std::string& name) {
    Instr in;
    bool pure = false;
    if ((in.fn = find_builtin(name, &pure))) {
      in.op = Op::Builtin;
      if (pure) in.memo = mMemos++;
      if (!pure) mPure = false;
    } else {
      mPure = false;
      in.op = Op::Call;
      in.name = name_index(name);
    }
    return in;
  }

private:
  int name_index(const std::string& name) {
    mNames.push_back(name);
    return static_cast<int>(mNames.size()) - 1;
  }

  const char* mText;
  const int mLength;
  std::vector<std::string>& mNames;
  std::vector<std::pair<std::string, const double*>>& mParams;
  bool mPure = true;
  int mMemos = 0;
};

// The scan's steps with code: what the evaluator decides only when evaluating, or where it
// alerts or warns, throws Interpret.
class CompileSteps {
public:
  using Value = Code;
  CompileSteps(Compiler& compiler, const char* text, int length, int depth)
      : mCompiler(compiler), mText(text), mLength(length), mDepth(depth) {}
  const char* text() const { return mText; }
  int length() const { return mLength; }

  Code zero() { return {constant(0.0)}; }
  Code number(double value) { return {constant(value)}; }
  // A plain name: the run of name characters. A '$' after it makes an index suffix, whose
  // value is known only when evaluating.
  bool read_name(int& pos, std::string& name) {
    while (pos < mLength && is_name_char(mText[pos])) name += mText[pos++];
    if (pos < mLength && mText[pos] == '$') throw Interpret{};
    return true;
  }
  Code call(const std::string& name, Code argument) {
    argument.push_back(mCompiler.call(name));
    return argument;
  }
  // Assignments change the parameters later names read.
  [[noreturn]] void declare(const std::string&) { throw Interpret{}; }
  void assign(const std::string&, Code) {}
  bool reference(const std::string& name, Code& code) {
    code = mCompiler.reference(name, mDepth);
    return true;
  }
  void unknown_name(const std::string&) {}
  Code nested(int& pos) { return mCompiler.scan(pos, mDepth + 1); }
  [[noreturn]] void unbalanced() { throw Interpret{}; }
  void operator_replaced(char, char) {}
  void close(int) {}
  void ignored(char) {}
  void combine(Code& below, int op, Code& top) { combine_code(below, op, top); }

private:
  Compiler& mCompiler;
  const char* mText;
  int mLength;
  int mDepth;
};

Code Compiler::scan(int& pos, int depth) {
  if (depth > kMaxCompileDepth || depth > kMaxExpressionDepth) throw Interpret{};
  CompileSteps steps(*this, mText, mLength, depth);
  return scan_expression(steps, pos);
}

// Operand stack depth the program needs.
size_t stack_size(const Code& code) {
  size_t size = 0, most = 0;
  for (const Instr& in : code) {
    if (in.op == Op::Const || in.op == Op::Param || in.op == Op::Stored) most = std::max(most, ++size);
    else if (in.op >= Op::Add && in.op <= Op::Pow) --size;
  }
  return most;
}

// + and * leave the compiler free to swap operands, which decides the NaN that two NaNs
// give; a NaN result is computed again by the evaluator's own arithmetic.
inline void add(double& below, double value) {
  const double sum = below + value;
  if (std::isnan(sum)) ::combine(below, 1, value);
  else below = sum;
}
inline void multiply(double& below, double value) {
  const double product = below * value;
  if (std::isnan(product)) ::combine(below, 3, value);
  else below = product;
}

}  // namespace

CompiledExpression::CompiledExpression(std::string text) : mText(std::move(text)) { recompile(); }

void CompiledExpression::recompile() {
  mCode.clear();
  mNames.clear();
  mParams.clear();
  mMemos.clear();
  mCompiled = false;
  mPure = false;
  if (expression_has_quirks(mText.c_str())) return;  // the evaluator gives its warnings
  try {
    Compiler compiler(mText.c_str(), mNames, mParams);
    int pos = 0;
    mCode = compiler.scan(pos, 1);
    mCompiled = true;
    mPure = compiler.pure();
    mMemos.assign(compiler.memos(), {});
  } catch (const Interpret&) {
    mCode.clear();
    mNames.clear();
    mParams.clear();
  }
  mStack.assign(stack_size(mCode), 0.0);
}

bool CompiledExpression::bindings_valid() const {
  for (const auto& [name, value] : mParams) {
    if (stored_expressions.count(name)) return false;
    auto param = gParameters.find(name);
    if (param == gParameters.end() || &param->second != value) return false;
  }
  for (const Instr& in : mCode)
    if (in.op == Op::Stored && !stored_expressions.count(mNames[in.name])) return false;
  return true;
}

double CompiledExpression::evaluate() {
  if (!mCompiled) return evaluate_expression(mText.c_str());
  double* sp = mStack.data() - 1;
  for (const Instr& in : mCode) {
    switch (in.op) {
      case Op::Const: *++sp = in.value; break;
      case Op::Param: *++sp = *in.param; break;
      case Op::Stored: {
        // The scan would be `depth` evaluations deep when it met the name.
        NestedEvaluation nested(in.depth);
        Term term;
        std::string name = mNames[in.name];
        evaluate_variable(name, term);
        *++sp = term.value;
        break;
      }
      case Op::Builtin: *sp = in.memo < 0 ? in.fn(*sp) : call_memo(in.memo, in.fn, *sp); break;
      case Op::Call: *sp = call_func(mNames[in.name], *sp); break;
      case Op::Add: --sp; add(*sp, sp[1]); break;
      case Op::Sub: --sp; *sp -= sp[1]; break;
      case Op::Mul: --sp; multiply(*sp, sp[1]); break;
      case Op::Div: --sp; *sp /= sp[1]; break;
      case Op::Mod: --sp; *sp = std::fmod(*sp, sp[1]); break;
      case Op::Pow: --sp; *sp = std::pow(*sp, sp[1]); break;
      case Op::AddK: add(*sp, in.value); break;
      case Op::SubK: *sp -= in.value; break;
      case Op::MulK: multiply(*sp, in.value); break;
      case Op::DivK: *sp /= in.value; break;
      case Op::ModK: *sp = std::fmod(*sp, in.value); break;
      case Op::PowK: *sp = std::pow(*sp, in.value); break;
      case Op::AddP: add(*sp, *in.param); break;
      case Op::SubP: *sp -= *in.param; break;
      case Op::MulP: multiply(*sp, *in.param); break;
      case Op::DivP: *sp /= *in.param; break;
      case Op::ModP: *sp = std::fmod(*sp, *in.param); break;
      case Op::PowP: *sp = std::pow(*sp, *in.param); break;
    }
  }
  return *sp;
}

// A pure built-in is a function of its argument's bits, so a result met before is reused.
// Entries start as a signalling NaN and the function's result for it, so every entry holds a
// true pair; no computed argument is a signalling NaN, and if one were, the pair still holds.
double CompiledExpression::call_memo(int index, BuiltinFunc fn, double arg) {
  constexpr int kBits = 11;
  Memo& memo = mMemos[index];
  const auto bits = std::bit_cast<unsigned long long>(arg);
  if (memo.last.bits == bits && !memo.table.empty()) return memo.last.result;
  if (memo.table.empty()) {
    const unsigned long long sentinel = 0x7FF4000000000000ull;
    memo.table.assign(size_t(1) << kBits, {sentinel, fn(std::bit_cast<double>(sentinel))});
  }
  MemoEntry& e = memo.table[(bits * 0x9E3779B97F4A7C15ull) >> (64 - kBits)];
  if (e.bits != bits) e = {bits, fn(arg)};
  memo.last = e;
  return e.result;
}
