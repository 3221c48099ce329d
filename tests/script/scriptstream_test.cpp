#include "script_fixture.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <tuple>

namespace {

using ScriptstreamTest = ExprTest;

// Every word until the stream gives out; a failed read must leave its target alone.
std::vector<std::string> read_words(scriptstream& s) {
  std::vector<std::string> words;
  std::string w = "<unchanged>";
  for (; s >> w; w = "<unchanged>") words.push_back(w);
  EXPECT_EQ(w, "<unchanged>");
  return words;
}

}  // namespace

TEST_F(ScriptstreamTest, WordsAreRunsOfNonBlankCharacters) {
  const std::pair<std::string, std::vector<std::string>> rows[] = {
      {"width 10 # comment\nlength 5", {"width", "10", "length", "5"}},
      {"a#b c\nd", {"a", "d"}},         {"x!y\n  z", {"x", "z"}},
      {"{ x; } =( [a", {"{", "x;", "}", "=(", "[a"}},
      {"\tone\n\ntwo\r\nthree", {"one", "two", "three"}},
      {"", {}},                         {"# nothing here", {}},   {"last", {"last"}},
      // '@name = expr ;' definitions are consumed before a word; without ';' the stream fails
      {"@r = 2*w ; 10 @a=1; @ b b = a b ;word", {"10", "word"}},   {"@q = 3 +\n 4", {}},  {"@name 3", {}},
  };
  for (const auto& [text, words] : rows) {
    scriptstream_priv s(text);
    EXPECT_EQ(read_words(s), words) << text;
  }
  EXPECT_EQ(stored_expressions, (std::map<std::string, std::string>{
                                    {"r", "2*w"}, {"a", "1"}, {"bb", "ab"}, {"q", "3+4"}, {"name3", ""}}));
  const std::string no_end = "syntax error stored expression, did you forget a terminating ';'?\n";
  // The message shows what stands on the definition's own line; the whole text is stored.
  EXPECT_EQ(alerts(), (std::vector<std::string>{no_end + "q= 3+ ...", no_end + "name3= "}));
  scriptstream_priv s("a b");  // the last word leaves the stream good until the next read
  std::string w;
  s >> w >> w;
  EXPECT_TRUE(static_cast<bool>(s));
  s >> w;  // at the end without a failed extraction: still not good
  EXPECT_FALSE(static_cast<bool>(s));
  EXPECT_TRUE(!s);
}

TEST(Scriptstream, CommentsAreBlankedInPlaceAndKeptForDocs) {
  std::string blanked = "x # one\n! two\ny#z";
  strip_comments(blanked);
  EXPECT_EQ(blanked, "x      \n     \ny  ");
  EXPECT_EQ(stripped_comments,
            (std::vector<std::pair<unsigned, std::string>>{{2, "# one"}, {8, "! two"}, {15, "#z"}}));
  using Copy = std::pair<std::string, std::string>;
  for (auto [in, out] : {Copy{"a", "a\n"}, {"a\n", "a\n"}, {"ab#", "ab "}, {"", ""}})
    EXPECT_EQ(copy_without_comments(in), out) << in;
  EXPECT_TRUE(stripped_comments.empty());
  // A definition's docs: the comments in a closed range of offsets, without their markers.
  const std::string text = "define p {\n## Makes a plate\n  plate x\n!#! second\n#\n}\n# after\n";
  scriptstream_priv s(text);
  const unsigned close = static_cast<unsigned>(text.find('}'));
  const unsigned first = static_cast<unsigned>(text.find("##"));
  EXPECT_EQ(s.doc(0, close), " Makes a plate\n second\n\n");
  EXPECT_EQ(s.doc(first + 1, close), " second\n\n");
  scriptstream_priv other("no comments here");  // refills the shared list; s keeps its copy
  EXPECT_EQ(s.doc(first, first), " Makes a plate\n");  // closed at both ends
  EXPECT_EQ(other.doc(0, 1000), "");
}

TEST_F(ScriptstreamTest, ExtractExpressionReadsBracketedText) {
  for (auto [text, found, out_expected, next_word] : {
           std::tuple<std::string, bool, std::string, std::string>{"[ 2 * pi ] x", true, "2*pi", "x"},
           {"[a b] x", true, "ab", "x"}, {"[[1]] x", true, "[1", "]"}, {"  12 x", false, "0", "12"},
           {"@s=1; [s] x", true, "s", "x"}, {"   ", false, "<unchanged>", ""}, {"[1+2 ", true, "1+2", ""}}) {
    SCOPED_TRACE(text);
    scriptstream_priv s(text);
    std::string out = "<unchanged>", w;
    EXPECT_EQ(extract_expression(s, out), found);
    EXPECT_EQ(out, out_expected);
    EXPECT_EQ(s.good(), !next_word.empty());
    s >> w;
    EXPECT_EQ(w, next_word);
  }
}

// Each text read as a double and as an int (truncated toward zero, saturated).
TEST_F(ScriptstreamTest, NumbersPlainOrBracketed) {
  gParameters["w"] = 2;
  using Number = std::tuple<std::string, double, int>;
  for (auto [text, value, truncated] :
       {Number{"-2.7", -2.7, -2}, {"1e-3", 0.001, 0}, {"+.5", 0.5, 0}, {"[7/2]", 3.5, 3}, {"[-7/2]", -3.5, -3},
        {"[2 3]", 23, 23}, {"[ w*w + 1 ]", 5, 5}, {"@k=5; [k]", 5, 5}, {"@r = 2*w ; [r+1]", 5, 5},
        {"[1e300]", 1e300, INT_MAX}, {"[-1e300]", -1e300, INT_MIN}, {"[0/0]", NAN, 0}, {"abc", 0, 0},
        {"", 0, 0}, {"  ", 0, 0},
        // a number with a blank after it is converted in place, to the same value
        {"-2.7 x", -2.7, -2}, {"1.e3 ", 1000, 1000}, {"0.1\n", 0.1, 0}, {"-1e-400 ", -0.0, 0}, {"4e-310 ", 4e-310, 0}}) {
    SCOPED_TRACE(text);
    scriptstream_priv s(text), t(text);
    double v = -99;
    int i = -99;
    s >> v;
    t >> i;
    EXPECT_TRUE(v == value || (std::isnan(v) && std::isnan(value))) << v;
    EXPECT_TRUE(std::isnan(value) || std::signbit(v) == std::signbit(value)) << v;
    EXPECT_EQ(i, truncated);
    EXPECT_EQ(s.good(), text.find_first_of("0123456789") != std::string::npos);  // no digit: fails
  }
}

TEST_F(ScriptstreamTest, LocationsCountLinesFromTheOrigin) {
  const std::string text = "a\nb\n\n  c d\n";
  scriptstream_priv s(text, {"f.vmf", 10});
  std::string w;
  std::vector<long> seen;  // line of each word read and tell() after it
  for (int k = 0; k < 5; ++k) {
    s >> w;
    seen.insert(seen.end(), {s.last_word_location().line, s.tell()});
  }
  EXPECT_EQ(seen, (std::vector<long>{10, 1, 11, 3, 13, 8, 13, 10, 13, -1}));
  EXPECT_EQ(s.last_word_location().file, "f.vmf");
  // Queries in any order agree with a plain count of newlines.
  for (long offset : {10L, 0L, 4L, 2L, 1L, 11L, 5L, -1L}) {
    const long end = offset < 0 ? static_cast<long>(text.size()) : offset;
    EXPECT_EQ(s.location_at(offset).line, 10 + std::count(text.begin(), text.begin() + end, '\n')) << offset;
  }
}
