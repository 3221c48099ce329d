// scriptstream: comment stripping, stored-expression definitions, words and numbers.

#include "script/scriptstream.h"

#include "script/compiled_expression.h"
#include "script/expression.h"
#include "script/parameters.h"
#include "util/message.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>

std::vector<std::pair<unsigned int, std::string>> stripped_comments;
std::map<std::string, std::string> stored_expressions;
std::map<std::string, MessageLocation> stored_expression_origins;

namespace {
long numbers_read_so_far = 0;
}

namespace {

bool is_white(int c) { return c != EOF && std::isspace(static_cast<unsigned char>(c)); }

// Appends every non-blank character up to `delim` to `out` and consumes the delimiter.
// Running into the end of the text fails the stream (get() past the end sets failbit).
// `first_line`, if given, receives the length `out` had when the first newline was passed.
void read_delimited(std::istream& in, char delim, std::string& out, size_t* first_line = nullptr) {
  char c;
  while (in.get(c)) {
    if (c == delim) break;
    if (c == '\n' && first_line && *first_line == std::string::npos) *first_line = out.size();
    if (!is_white(static_cast<unsigned char>(c))) out += c;
  }
}

// A number could not be read: when the word there names a parameter or stored expression,
// the next alert says how to use its value. A failed read consumes nothing of a name.
void hint_at_bare_name(std::istream& in) {
  auto* priv = dynamic_cast<scriptstream_priv*>(&in);
  if (!priv) return;
  const std::string_view text = priv->text();
  const long pos = (long)in.rdbuf()->pubseekoff(0, std::ios_base::cur, std::ios_base::in);
  if (pos < 0 || (size_t)pos > text.size()) return;
  size_t at = (size_t)pos;
  while (at < text.size() && is_white((unsigned char)text[at])) ++at;
  size_t end = at;
  while (end < text.size() && !is_white((unsigned char)text[end])) ++end;
  const std::string word(text.substr(at, end - at));
  if (word.empty() || (!gParameters.count(word) && !stored_expressions.count(word))) return;
  set_alert_hint("'" + word + "' is a name, not a number: write [" + word + "] to use its value");
}

// The part of a definition read on its own line: the rest of the file, glued together when
// the delimiter was missing, would bury the mistake.
std::string on_first_line(const std::string& text, size_t first_line) {
  if (first_line >= text.size()) return text;
  return text.substr(0, first_line) + " ...";
}

void skip_white(std::istream& in) {
  while (in.good() && is_white(in.peek())) in.get();
}

// A block run many times (a loop's body) gives its bracketed expressions to the stream at the
// same addresses of the shared text at every pass. They are kept here by that address with
// their text, which a reused address must match, and compiled when met a second time: text
// read once costs a copy, not a compilation.
struct KnownExpression {
  const char* open = nullptr;
  std::string raw, squeezed;
  bool joined = false;
  std::optional<CompiledExpression> program;
};

KnownExpression& known_expression(const char* open) {
  constexpr int kBits = 9;
  thread_local std::vector<KnownExpression> table(size_t{1} << kBits);
  const auto key = reinterpret_cast<std::uintptr_t>(open) * 0x9E3779B97F4A7C15ull;
  return table[key >> (64 - kBits)];
}
// The end of [+-]digits[.digits][e[+-]digits] at `p` (digits on at least one side of the point)
// when white space follows it before `end`, else null: the text a stream reads as a number
// whole, up to the blank that stops it.
const char* plain_number_end(const char* p, const char* end) {
  auto digits = [&] {
    const char* from = p;
    while (p < end && *p >= '0' && *p <= '9') ++p;
    return p - from;
  };
  if (p < end && (*p == '+' || *p == '-')) ++p;
  long mantissa = digits();
  if (p < end && *p == '.') {
    ++p;
    mantissa += digits();
  }
  if (mantissa == 0) return nullptr;
  if (p < end && (*p == 'e' || *p == 'E')) {
    ++p;
    if (p < end && (*p == '+' || *p == '-')) ++p;
    if (digits() == 0) return nullptr;
  }
  return p < end && is_white(static_cast<unsigned char>(*p)) ? p : nullptr;
}

// Set while a known expression is evaluated: a read that evaluation makes goes the plain way,
// so an entry in use is never replaced.
thread_local bool evaluating_known = false;

}  // namespace

// -- lexical helpers

std::string without_comments(std::string text) {
  strip_comments(text);
  // The last word of a script must be followed by white space to be read whole.
  if (!text.empty() && !is_white(static_cast<unsigned char>(text.back()))) text += '\n';
  return text;
}

// '#' or '!' starts a comment even inside a word: there is no quoting. Each comment is
// blanked character for character, so every offset in the text stays valid.
void strip_comments(std::string& text) {
  stripped_comments.clear();
  const size_t n = text.size();
  for (size_t i = 0; i < n; ++i) {
    if (text[i] != '#' && text[i] != '!') continue;
    std::string comment;
    const size_t start = i;
    for (; i < n && text[i] != '\n'; ++i) {
      comment += text[i];
      text[i] = ' ';
    }
    stripped_comments.emplace_back(static_cast<unsigned int>(start), std::move(comment));
  }
}

std::string copy_without_comments(const std::string& text) { return without_comments(text); }

// @name = expr ;   (any number in a row; stored as text, evaluated at each use)
bool extract_stored_expressions(std::istream& in) {
  for (;;) {
    if (in.fail() || in.bad()) return false;
    skip_white(in);
    if (in.peek() != '@') return in.good();
    auto* priv = dynamic_cast<scriptstream_priv*>(&in);
    const MessageLocation at = priv ? priv->location_at(priv->tell()) : message_location();
    in.get();
    std::string name, expr;
    size_t name_line = std::string::npos, expr_line = std::string::npos;
    read_delimited(in, '=', name, &name_line);
    if (in.good()) read_delimited(in, ';', expr, &expr_line);
    stored_expressions[name] = expr;
    if (priv) stored_expression_origins[name] = at;
    if (in.fail() || in.bad()) {
      MessageLocationGuard restore;
      set_message_location(at);
      alert_text("syntax error stored expression, did you forget a terminating ';'?\n" +
                 on_first_line(name, name_line) + "= " + on_first_line(expr, expr_line));
    }
  }
}

bool extract_expression(std::istream& in, std::string& out) {
  if (!extract_stored_expressions(in)) return false;
  skip_white(in);
  if (in.peek() != '[') {
    out = "0";
    return false;
  }
  in.get();
  // Brackets do not nest: the first ']' ends the expression.
  std::string raw;
  char c;
  while (in.get(c) && c != ']') raw += c;
  if (squeeze_expression(raw, out))
    warning_text("in '[" + raw + "]', blank-separated numbers are joined: it reads as " + out);
  return true;
}

bool squeeze_expression(const std::string& raw, std::string& out) {
  out.clear();
  bool joined = false;
  for (size_t i = 0; i < raw.size(); ++i) {
    if (is_white((unsigned char)raw[i])) continue;
    const bool number = std::isdigit((unsigned char)raw[i]) || raw[i] == '.';
    // A digit after blanks after a digit: the blanks go, the numbers join ("[2 3]" is 23).
    if (number && !out.empty() && i > 0 && is_white((unsigned char)raw[i - 1]) &&
        (std::isdigit((unsigned char)out.back()) || out.back() == '.'))
      joined = true;
    out += raw[i];
  }
  return joined;
}

bool extract_expression(scriptstream& in, std::string& out) {
  auto* priv = dynamic_cast<scriptstream_priv*>(&in);
  if (!priv) return false;
  return extract_expression(static_cast<std::istream&>(*priv), out);
}

double extract_double(std::istream& in) {
  std::string expr;
  if (extract_expression(in, expr)) return evaluate_expression(expr.c_str());
  double value = 0.0;
  in >> value;
  if (in.fail()) hint_at_bare_name(in);
  return value;
}

// -- ScriptText and script_buf

ScriptText ScriptText::of(std::string text) {
  ScriptText t;
  t.end = text.size();
  t.whole = std::make_shared<const std::string>(std::move(text));
  return t;
}

// The get area points into the shared string; the stream only reads it (there is no
// putback of a changed character).
script_buf::script_buf(const ScriptText& text) : mText(text) {
  std::string_view v = mText.view();
  char* first = const_cast<char*>(v.data());
  setg(first, first, first + v.size());
  mPadded = !v.empty() && !is_white(static_cast<unsigned char>(v.back()));
}

int script_buf::underflow() {
  if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
  if (!mPadded || eback() == mPad) return traits_type::eof();
  setg(mPad, mPad, mPad + 1);
  return traits_type::to_int_type(mPad[0]);
}

// Only the current position is asked for (tell); it is the offset in the range.
script_buf::pos_type script_buf::seekoff(off_type off, std::ios_base::seekdir dir, std::ios_base::openmode which) {
  if (off != 0 || dir != std::ios_base::cur || !(which & std::ios_base::in)) return pos_type(off_type(-1));
  if (eback() == mPad) return pos_type(off_type(mText.end - mText.begin + (gptr() - mPad)));
  return pos_type(off_type(gptr() - eback()));
}

script_buf::pos_type script_buf::seekpos(pos_type, std::ios_base::openmode) { return pos_type(off_type(-1)); }

// -- scriptstream_priv

scriptstream_priv::scriptstream_priv(std::string text, const MessageLocation& origin)
    : script_buf(ScriptText::of(without_comments(std::move(text)))),
      std::istream(static_cast<script_buf*>(this)),
      mComments(stripped_comments),
      mOrigin(origin) {}

scriptstream_priv::scriptstream_priv(const ScriptText& block, const MessageLocation& origin)
    : script_buf(block), std::istream(static_cast<script_buf*>(this)), mOrigin(origin) {}

ScriptText scriptstream_priv::slice(long from, long to) const {
  const long size = static_cast<long>(mText.end - mText.begin);
  from = std::clamp(from, 0L, size);
  to = std::clamp(to, from, size);
  ScriptText t = mText;
  t.begin = mText.begin + from;
  t.end = mText.begin + to;
  return t;
}

void scriptstream_priv::skip_blanks() {
  if (!std::istream::good()) return;
  const char* p = gptr();
  while (p < egptr() && is_white(static_cast<unsigned char>(*p))) ++p;
  gbump(static_cast<int>(p - gptr()));
}

// The characters of the text come in one step; the stream's own reads finish the word only
// at the end of the text.
scriptstream& scriptstream_priv::operator>>(std::string& word) {
  std::istream& in = *this;
  skip_blanks();
  if (!extract_stored_expressions(in)) return *this;
  skip_white(in);
  word.clear();
  mLastWordStart = tell();
  if (in.good()) {
    const char* begin = gptr();
    const char* end = begin;
    while (end < egptr() && !is_white(static_cast<unsigned char>(*end))) ++end;
    word.assign(begin, end);
    gbump(static_cast<int>(end - gptr()));
  }
  for (;;) {
    int c = in.peek();
    if (is_white(c) || !in.good()) break;
    word += static_cast<char>(in.get());
  }
  return *this;
}

// The steps of extract_double; an expression closed within the text goes by known_expression,
// a plain decimal number followed by white space is converted in place.
double scriptstream_priv::read_number() {
  skip_blanks();
  if (!evaluating_known && extract_stored_expressions(*this)) {
    skip_white(*this);
    const char* at = gptr();
    if (at < egptr() && *at == '[') {
      const auto* close = static_cast<const char*>(std::memchr(at + 1, ']', egptr() - at - 1));
      if (close) return read_bracketed(at, close);
    }
    if (const char* end = plain_number_end(at, egptr())) {
      double value = 0;
      // The stream's conversion is correctly rounded too, so the value is the same; values
      // out of range (which it turns into the largest double or a signed zero) are left to it.
      const auto [stop, ec] = std::from_chars(at + (*at == '+'), end, value);
      if (ec == std::errc() && stop == end && std::isfinite(value)) {
        gbump(static_cast<int>(end - at));
        return value;
      }
    }
  }
  return extract_double(*this);
}

double scriptstream_priv::read_bracketed(const char* open, const char* close) {
  const std::string_view raw(open + 1, close - open - 1);
  gbump(static_cast<int>(close + 1 - open));
  KnownExpression& known = known_expression(open);
  const bool met = known.open == open && known.raw == raw;
  if (!met) {
    known.open = open;
    known.raw = raw;
    known.joined = squeeze_expression(known.raw, known.squeezed);
    known.program.reset();
  }
  if (known.joined)
    warning_text("in '[" + known.raw + "]', blank-separated numbers are joined: it reads as " + known.squeezed);
  evaluating_known = true;
  struct Done {
    ~Done() { evaluating_known = false; }
  } done;
  if (!met) return evaluate_expression(known.squeezed.c_str());
  if (!known.program) known.program.emplace(known.squeezed);
  else if (!known.program->bindings_valid()) known.program->recompile();
  return known.program->evaluate();
}

scriptstream& scriptstream_priv::operator>>(double& value) {
  value = read_number();
  if (good()) ++numbers_read_so_far;
  return *this;
}

scriptstream& scriptstream_priv::operator>>(int& value) {
  value = truncate_to_int(read_number());
  if (good()) ++numbers_read_so_far;
  return *this;
}

long numbers_read() { return numbers_read_so_far; }
void count_number_read() { ++numbers_read_so_far; }

bool scriptstream_priv::good() const { return std::istream::good(); }

int scriptstream_priv::peek() { return std::istream::peek(); }

int scriptstream_priv::get() { return std::istream::get(); }

void scriptstream_priv::ignore(int n, int delim) { std::istream::ignore(n, delim); }

void scriptstream_priv::eatwhite() {
  skip_blanks();
  skip_white(*this);
}

// tellg() on a stream at its end would set failbit; ask the buffer directly instead.
long scriptstream_priv::tell() {
  if (!std::istream::good()) return -1;
  return static_cast<long>(rdbuf()->pubseekoff(0, std::ios_base::cur, std::ios_base::in));
}

// Lines are counted from the last query's offset, so the interpreter's one query per
// command costs time proportional to the text read since, not to the whole script.
MessageLocation scriptstream_priv::location_at(long offset) {
  const std::string_view s = text();
  const long size = static_cast<long>(s.size());
  if (offset < 0 || offset > size) offset = size;
  for (; mLineCachePos < offset; ++mLineCachePos)
    if (s[mLineCachePos] == '\n') ++mLineCacheLine;
  while (mLineCachePos > offset)
    if (s[--mLineCachePos] == '\n') --mLineCacheLine;
  return {mOrigin.file, mOrigin.line + mLineCacheLine};
}

MessageLocation scriptstream_priv::last_word_location() { return location_at(mLastWordStart); }

std::string scriptstream_priv::doc(unsigned int from, unsigned int to) const {
  std::string out;
  for (const auto& [offset, comment] : mComments) {
    if (offset < from || offset > to) continue;
    size_t start = comment.find_first_not_of("#!");
    if (start != std::string::npos) out += comment.substr(start);
    out += '\n';
  }
  return out;
}
