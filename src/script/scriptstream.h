// scriptstream: the stream every command and builder reads its arguments from.
// Words, plain numbers and [bracketed] expressions over script text whose comments
// were blanked out; the removed comments are kept so a definition can carry its docs.
// Owns stripped_comments and stored_expressions (the latter lives for the process).
#pragma once

#include "util/message.h"

#include <cstdio>
#include <istream>
#include <map>
#include <memory>
#include <streambuf>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class scriptstream {
public:
  virtual ~scriptstream() = default;

  // -- reading (each word/number read first consumes '@name = expr ;' definitions)
  virtual scriptstream& operator>>(std::string& word) = 0;  // leaves `word` unchanged at end of text
  virtual scriptstream& operator>>(double& value) = 0;      // plain number or [expression]
  virtual scriptstream& operator>>(int& value) = 0;         // a number truncated toward zero
  virtual bool good() const = 0;
  explicit operator bool() const { return good(); }
  virtual int peek() = 0;
  virtual int get() = 0;
  virtual void ignore(int n = 1, int delim = EOF) = 0;
  virtual void eatwhite() = 0;

  // -- origins: where the text came from, so messages can name file and line
  virtual long tell() = 0;                                // offset of the next character, -1 when exhausted
  virtual MessageLocation location_at(long offset) = 0;   // file and line of a text offset
  virtual MessageLocation last_word_location() = 0;       // file and line of the last word read
};

// A range of script text held by a shared string: blocks taken out of a stream and the
// streams that run them share their enclosing text instead of copying it at every level.
struct ScriptText {
  std::shared_ptr<const std::string> whole;
  size_t begin = 0, end = 0;

  // The whole of `text`, comments and all, in a new shared string.
  static ScriptText of(std::string text);
  std::string_view view() const {
    return whole ? std::string_view(*whole).substr(begin, end - begin) : std::string_view();
  }
  std::string str() const { return std::string(view()); }
  bool empty() const { return begin == end; }
};

// The read buffer of a scriptstream_priv: the characters of its range, then one newline
// when the range does not end in white space (so its last word is read whole).
class script_buf : public std::streambuf {
protected:
  explicit script_buf(const ScriptText& text);
  int_type underflow() override;
  pos_type seekoff(off_type off, std::ios_base::seekdir dir, std::ios_base::openmode which) override;
  pos_type seekpos(pos_type pos, std::ios_base::openmode which) override;

  ScriptText mText;

private:
  char mPad[1] = {'\n'};
  bool mPadded = false;  // the range is followed by mPad
};

// The one stream implementation: comment-free text read through a std::istream.
class scriptstream_priv : private script_buf, public scriptstream, public std::istream {
public:
  // A copy of `text` with its comments blanked out; `origin` names the file and the line on
  // which `text` begins (line 1 of a whole file).
  explicit scriptstream_priv(std::string text, const MessageLocation& origin = {"", 1});
  // A range of text that was already stripped (a block of another stream): shared, not
  // copied, and without comments of its own.
  scriptstream_priv(const ScriptText& block, const MessageLocation& origin);

  scriptstream& operator>>(std::string& word) override;
  scriptstream& operator>>(double& value) override;
  scriptstream& operator>>(int& value) override;
  bool good() const override;
  // Both bases convert to bool; on this class, as on the interface, the test is good().
  explicit operator bool() const { return good(); }
  bool operator!() const { return !good(); }
  int peek() override;
  int get() override;
  void ignore(int n = 1, int delim = EOF) override;
  void eatwhite() override;
  long tell() override;
  MessageLocation location_at(long offset) override;
  MessageLocation last_word_location() override;

  // The comments that began in [from, to], each without its leading '#'/'!' run, one per line.
  std::string doc(unsigned int from, unsigned int to) const;
  std::string_view text() const { return mText.view(); }
  // [from, to) of this stream's text (offsets as tell() gives them), sharing its string.
  ScriptText slice(long from, long to) const;

private:
  // Passes the white space ahead in the text directly (the stream's reads take it one
  // character at a time).
  void skip_blanks();
  // A plain number or [expression], as extract_double reads it.
  double read_number();
  // The expression from `open` ('[') to `close` (']'), both in the get area, consumed.
  double read_bracketed(const char* open, const char* close);

  std::vector<std::pair<unsigned int, std::string>> mComments;
  MessageLocation mOrigin;
  long mLastWordStart = 0;
  long mLineCachePos = 0;  // offset up to which newlines were counted
  int mLineCacheLine = 0;  // newlines before mLineCachePos
};

// -- state
// Comments removed by the latest strip_comments; each new stream copies them.
extern std::vector<std::pair<unsigned int, std::string>> stripped_comments;
// '@name = expr ;' definitions: name -> expression text, evaluated at each use.
// Lives for the process; each run's reset puts back the definitions made at start-up.
extern std::map<std::string, std::string> stored_expressions;
// Where each stored expression was defined (the line of its '@'); lives for the process.
extern std::map<std::string, MessageLocation> stored_expression_origins;

// -- lexical helpers
void strip_comments(std::string& text);  // blanks out '#'/'!' comments in place
std::string copy_without_comments(const std::string& text);  // ends in white space when non-empty
std::string without_comments(std::string text);  // the same, stripping `text` itself
bool extract_stored_expressions(std::istream& in);  // false when exhausted or failed
// Reads "[expr]" text into `out` (white space dropped); otherwise out = "0" and false.
bool extract_expression(std::istream& in, std::string& out);
bool extract_expression(scriptstream& in, std::string& out);
// The text between the brackets with white space dropped, into `out`; true when that joined
// blank-separated numbers (which extract_expression warns about).
bool squeeze_expression(const std::string& raw, std::string& out);
// Settles the choice between the two forms above for the one class that is both.
inline bool extract_expression(scriptstream_priv& in, std::string& out) {
  return extract_expression(static_cast<std::istream&>(in), out);
}
double extract_double(std::istream& in);  // plain number or evaluated [expression]

// How many numbers (plain or bracketed) the script streams have read, so a message can say
// how many arguments were found before one could not be read.
long numbers_read();
// One more number read by code that reads it without a stream (a loop's prepared block).
void count_number_read();
