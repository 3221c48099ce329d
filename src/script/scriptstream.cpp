// scriptstream: comment stripping, stored-expression definitions, words and numbers.

#include "script/scriptstream.h"

#include "script/expression.h"

#include <cctype>

std::vector<std::pair<unsigned int, std::string>> stripped_comments;
std::map<std::string, std::string> stored_expressions;

namespace {

bool is_white(int c) { return c != EOF && std::isspace(static_cast<unsigned char>(c)); }

// Appends every non-blank character up to `delim` to `out` and consumes the delimiter.
// Running into the end of the text fails the stream (get() past the end sets failbit).
void read_delimited(std::istream& in, char delim, std::string& out) {
  char c;
  while (in.get(c)) {
    if (c == delim) break;
    if (!is_white(static_cast<unsigned char>(c))) out += c;
  }
}

void skip_white(std::istream& in) {
  while (in.good() && is_white(in.peek())) in.get();
}

}  // namespace

// -- lexical helpers

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

std::string copy_without_comments(const std::string& text) {
  std::string copy = text;
  strip_comments(copy);
  // The last word of a script must be followed by white space to be read whole.
  if (!copy.empty() && !is_white(static_cast<unsigned char>(copy.back()))) copy += '\n';
  return copy;
}

// @name = expr ;   (any number in a row; stored as text, evaluated at each use)
bool extract_stored_expressions(std::istream& in) {
  for (;;) {
    if (in.fail() || in.bad()) return false;
    skip_white(in);
    if (in.peek() != '@') return in.good();
    in.get();
    std::string name, expr;
    read_delimited(in, '=', name);
    if (in.good()) read_delimited(in, ';', expr);
    stored_expressions[name] = expr;
    if (in.fail() || in.bad())
      alert("syntax error stored expression, did you forget a terminating ';'?\n%s= %s", name.c_str(),
            expr.c_str());
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
  out.clear();
  // Brackets do not nest: the first ']' ends the expression.
  read_delimited(in, ']', out);
  return true;
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
  return value;
}

// -- scriptstream_priv

// The private std::string base is built first and holds the comment-free text that the
// istringstream base then reads.
scriptstream_priv::scriptstream_priv(const std::string& text, const MessageLocation& origin)
    : std::string(copy_without_comments(text)),
      std::istringstream(static_cast<const std::string&>(*this)),
      mComments(stripped_comments),
      mOrigin(origin) {}

scriptstream& scriptstream_priv::operator>>(std::string& word) {
  std::istream& in = *this;
  if (!extract_stored_expressions(in)) return *this;
  skip_white(in);
  word.clear();
  mLastWordStart = tell();
  for (;;) {
    int c = in.peek();
    if (is_white(c) || !in.good()) break;
    word += static_cast<char>(in.get());
  }
  return *this;
}

scriptstream& scriptstream_priv::operator>>(double& value) {
  value = extract_double(*this);
  return *this;
}

scriptstream& scriptstream_priv::operator>>(int& value) {
  value = truncate_to_int(extract_double(*this));
  return *this;
}

bool scriptstream_priv::good() const { return std::istringstream::good(); }

int scriptstream_priv::peek() { return std::istringstream::peek(); }

int scriptstream_priv::get() { return std::istringstream::get(); }

void scriptstream_priv::ignore(int n, int delim) { std::istringstream::ignore(n, delim); }

void scriptstream_priv::eatwhite() { skip_white(*this); }

// tellg() on a stream at its end would set failbit; ask the buffer directly instead.
long scriptstream_priv::tell() {
  if (!std::istringstream::good()) return -1;
  return static_cast<long>(rdbuf()->pubseekoff(0, std::ios_base::cur, std::ios_base::in));
}

// Lines are counted from the last query's offset, so the interpreter's one query per
// command costs time proportional to the text read since, not to the whole script.
MessageLocation scriptstream_priv::location_at(long offset) {
  const std::string& s = text();
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
