#include "script_fixture.h"

#include <algorithm>
#include <climits>

namespace {

// Every word until the stream gives out; a failed read must leave its target alone.
std::vector<std::string> read_words(scriptstream& s) {
  std::vector<std::string> words;
  for (;;) {
    std::string w = "<unchanged>";
    s >> w;
    if (!s) {
      EXPECT_EQ(w, "<unchanged>");
      return words;
    }
    words.push_back(w);
  }
}

using ScriptstreamTest = ExprTest;

}  // namespace

TEST_F(ScriptstreamTest, WordsAreRunsOfNonBlankCharacters) {
  struct Row {
    const char* id;
    std::string text;
    std::vector<std::string> words;
  } rows[] = {
      {"comment to end of line", "width 10 # comment\nlength 5", {"width", "10", "length", "5"}},
      {"hash inside a word", "a#b c\nd", {"a", "d"}},
      {"bang starts a comment", "x!y\n  z", {"x", "z"}},
      {"punctuation is part of words", "{ x; } =( [a", {"{", "x;", "}", "=(", "[a"}},
      {"tabs and newlines", "\tone\n\ntwo\r\nthree", {"one", "two", "three"}},
      {"empty text", "", {}},
      {"only blanks", "  \n\t ", {}},
      {"only a comment", "# nothing here", {}},
      {"last word without newline", "last", {"last"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.id);
    scriptstream_priv s(row.text);
    EXPECT_EQ(read_words(s), row.words);
  }
}

TEST_F(ScriptstreamTest, LastWordKeepsTheStreamGoodUntilTheNextRead) {
  scriptstream_priv s("a b");
  std::string w;
  s >> w >> w;
  EXPECT_EQ(w, "b");
  EXPECT_TRUE(s.good());
  EXPECT_TRUE(s);
  s >> w;
  EXPECT_FALSE(s.good());
  EXPECT_FALSE(s);
  EXPECT_TRUE(!s);
  EXPECT_EQ(w, "b");
}

TEST(Scriptstream, CommentsAreBlankedInPlaceAndRecorded) {
  std::string text = "x # one\n! two\ny#z";
  strip_comments(text);
  EXPECT_EQ(text, "x      \n     \ny  ");
  using Comment = std::pair<unsigned int, std::string>;
  std::vector<Comment> expected = {{2, "# one"}, {8, "! two"}, {15, "#z"}};
  EXPECT_EQ(stripped_comments, expected);

  std::string plain = "no comments";
  strip_comments(plain);
  EXPECT_TRUE(stripped_comments.empty());
}

TEST(Scriptstream, CopyWithoutCommentsEndsInWhiteSpace) {
  struct Row {
    const char* id;
    std::string in, out;
  } rows[] = {
      {"newline appended", "a", "a\n"},
      {"already ends in newline", "a\n", "a\n"},
      {"ends in a blanked comment", "a #c", "a   "},
      {"empty stays empty", "", ""},
      {"comment at the very end of a word", "ab#", "ab "},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.id);
    EXPECT_EQ(copy_without_comments(row.in), row.out);
  }
}

TEST(Scriptstream, DocCollectsCommentsInRangeWithoutTheirMarkers) {
  const std::string text = "define p {\n## Makes a plate\n  plate x\n!#! second\n#\n}\n# after\n";
  scriptstream_priv s(text);
  const unsigned close = static_cast<unsigned>(text.find('}'));
  EXPECT_EQ(s.doc(0, close), " Makes a plate\n second\n\n");
  // The range is closed at both ends.
  const unsigned first = static_cast<unsigned>(text.find("##"));
  EXPECT_EQ(s.doc(first, first), " Makes a plate\n");
  EXPECT_EQ(s.doc(first + 1, close), " second\n\n");
  EXPECT_EQ(s.doc(close, close), "");

  // Another stream refills the global list; this stream keeps its own copy.
  scriptstream_priv other("no comments here");
  EXPECT_TRUE(stripped_comments.empty());
  EXPECT_EQ(s.doc(first, first), " Makes a plate\n");
  EXPECT_EQ(other.doc(0, 1000), "");
}

TEST_F(ScriptstreamTest, StoredExpressionsAreConsumedBeforeWordsAndNumbers) {
  scriptstream_priv s("@r = 2*w ; 10 @a=1; @ b b = a b ;word");
  double v = -1;
  s >> v;
  EXPECT_EQ(v, 10);
  EXPECT_EQ(stored_expressions["r"], "2*w");
  std::string w;
  s >> w;
  EXPECT_EQ(w, "word");
  EXPECT_EQ(stored_expressions["a"], "1");
  EXPECT_EQ(stored_expressions["bb"], "ab");
  EXPECT_TRUE(alerts().empty());
}

TEST_F(ScriptstreamTest, StoredExpressionIsUsableInTheBracketThatFollows) {
  gParameters["w"] = 4;
  scriptstream_priv s("@r = 2*w ; [r+1]");
  double v = 0;
  s >> v;
  EXPECT_EQ(v, 9);
}

TEST_F(ScriptstreamTest, StoredExpressionWithoutTerminatorFailsTheStream) {
  struct Row {
    const char* id;
    std::string text, name, expr;
  } rows[] = {
      {"missing semicolon", "@q = 3 +\n 4", "q", "3+4"},
      {"missing equals sign", "@name 3", "name3", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.id);
    sink.clear();
    scriptstream_priv s(row.text);
    std::string w = "<unchanged>";
    s >> w;
    EXPECT_FALSE(s.good());
    EXPECT_EQ(w, "<unchanged>");
    EXPECT_EQ(stored_expressions[row.name], row.expr);
    std::vector<std::string> expected = {
        "syntax error stored expression, did you forget a terminating ';'?\n" + row.name + "= " + row.expr};
    EXPECT_EQ(alerts(), expected);
  }
}

TEST_F(ScriptstreamTest, CharacterAccessSeesTheRawText) {
  scriptstream_priv s("  @a=1; x");
  s.eatwhite();
  EXPECT_EQ(s.peek(), '@');
  EXPECT_EQ(s.get(), '@');
  s.ignore();
  EXPECT_EQ(s.get(), '=');
  EXPECT_TRUE(stored_expressions.empty());
}

TEST_F(ScriptstreamTest, ExtractExpressionReadsBracketedText) {
  struct Row {
    const char* id;
    std::string text;
    bool found;
    std::string out;
    std::string next_word;  // what a word read finds afterwards
  } rows[] = {
      {"blanks dropped", "[ 2 * pi ] x", true, "2*pi", "x"},
      {"blank between names", "[a b] x", true, "ab", "x"},
      {"brackets do not nest", "[[1]] x", true, "[1", "]"},
      {"plain number untouched", "  12 x", false, "0", "12"},
      {"stored expression first", "@s=1; [s] x", true, "s", "x"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.id);
    scriptstream_priv s(row.text);
    std::string out = "<unchanged>";
    EXPECT_EQ(extract_expression(s, out), row.found);
    EXPECT_EQ(out, row.out);
    std::string w;
    s >> w;
    EXPECT_EQ(w, row.next_word);
  }
}

TEST_F(ScriptstreamTest, ExtractExpressionAtTheEnd) {
  scriptstream_priv exhausted("   ");
  std::string out = "<unchanged>";
  EXPECT_FALSE(extract_expression(exhausted, out));
  EXPECT_EQ(out, "<unchanged>");

  scriptstream_priv open("[1+2 ");
  EXPECT_TRUE(extract_expression(open, out));
  EXPECT_EQ(out, "1+2");
  EXPECT_FALSE(open.good());
}

TEST_F(ScriptstreamTest, NumbersPlainOrBracketed) {
  gParameters["w"] = 2;
  struct Row {
    const char* text;
    double value;
  } rows[] = {
      {"12", 12},   {"-3.5", -3.5}, {"1e-3", 0.001},  {"+.5", 0.5},   {"[7/2]", 3.5},
      {"[2 3]", 23}, {"[w*w]", 4},   {"[ w + 1 ]", 3}, {"@k=5; [k]", 5},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    scriptstream_priv s(row.text);
    double v = -99;
    s >> v;
    EXPECT_DOUBLE_EQ(v, row.value);
    EXPECT_TRUE(s.good());
  }
}

TEST_F(ScriptstreamTest, NumberReadFailsOnWordsAndAtTheEnd) {
  for (const char* text : {"abc", "", "  "}) {
    SCOPED_TRACE(text);
    scriptstream_priv s(text);
    double v = -99;
    s >> v;
    EXPECT_EQ(v, 0.0);
    EXPECT_FALSE(s.good());
  }
}

TEST_F(ScriptstreamTest, IntegersTruncateTowardZero) {
  struct Row {
    const char* text;
    int value;
  } rows[] = {
      {"[7/2]", 3},       {"-2.7", -2},          {"[-7/2]", -3},       {"2.999", 2},
      {"[1e300]", INT_MAX}, {"[-1e300]", INT_MIN}, {"[0/0]", 0},         {"0", 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    scriptstream_priv s(row.text);
    int v = -99;
    s >> v;
    EXPECT_EQ(v, row.value);
  }
}

TEST_F(ScriptstreamTest, LocationsCountLinesFromTheOrigin) {
  const std::string text = "a\nb\n\n  c d\n";
  scriptstream_priv s(text, {"f.vmf", 10});
  struct Row {
    std::string word;
    int line;
    long next;  // tell() after the word
  } rows[] = {{"a", 10, 1}, {"b", 11, 3}, {"c", 13, 8}, {"d", 13, 10}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.word);
    std::string w;
    s >> w;
    EXPECT_EQ(w, row.word);
    EXPECT_EQ(s.tell(), row.next);
    MessageLocation at = s.last_word_location();
    EXPECT_EQ(at.file, "f.vmf");
    EXPECT_EQ(at.line, row.line);
  }
  std::string w;
  s >> w;
  EXPECT_EQ(s.tell(), -1);

  // Queries in any order agree with a plain count of newlines.
  for (long offset : {10L, 0L, 4L, 2L, 1L, 11L, 5L, -1L}) {
    SCOPED_TRACE(offset);
    long end = offset < 0 ? static_cast<long>(text.size()) : offset;
    int newlines = static_cast<int>(std::count(text.begin(), text.begin() + end, '\n'));
    EXPECT_EQ(s.location_at(offset).line, 10 + newlines);
  }
}
