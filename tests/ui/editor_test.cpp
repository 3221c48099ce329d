// gtest first: the toolkit headers bring X11 macros (None, Bool) that clash with its names.
#include <gtest/gtest.h>

#include "ui/Fl_Emacs.h"

#include "support/test_support.h"
#include "support/ui_support.h"
#include "ui/main_window.h"

#include <FL/Fl.H>

using namespace Pelgrove_UserInterface;

namespace {

class Editor : public UiTest {};

TEST_F(Editor, ControlKeysEditAndMove) {
  const struct { const char* id; const char* text; int cursor; const char* keys; const char* after; int cursor_after; }
      cases[] = {
      {"typing", "", 0, "ab c", "ab c", 4},
      {"left right", "abcd", 2, "^b^bx^f^fy", "xabycd", 4},
      {"down up", "ab\ncd\nef", 1, "^n^nX^p^pY", "abY\ncd\neXf", 3},
      {"start and end of line", "one\ntwo", 5, "^e!^a>", "one\n>two!", 5},
      {"delete right", "abc", 1, "^d", "ac", 1},
      {"kill to end of line", "abc\ndef", 1, "^k", "a\ndef", 1},
      {"kill at the end of a line does nothing", "abc\ndef", 3, "^k", "abc\ndef", 3},
      {"kill, then yank it back twice", "abc\n", 0, "^k^y^y", "abcabc\n", 6},
      {"delete everything", "abc\ndef", 2, "^u", "", 0},
      // a search selects the match; the clipboard keys end it and act on the selection
      {"cut, paste", "abc def", 0, "^sab^x^e^v", "c defab", 7},
      {"cut by ^w, paste by ^y", "abc def", 0, "^sde^w^a^y", "deabc f", 2},
      {"copy, paste", "abc", 0, "^sbc^c^e^v", "abcbc", 5},
      {"a bound key ends a search", "abc", 0, "^sb^d^zX", "abXc", 3},
      // undo walks back the whole history, newest first, and stops at its start
      {"undo every edit", "x", 1, "ab^b^d^z^z^z^z", "x", 1},
      // after a fresh edit, undo first takes back that edit, then the undos before it
      {"undo the undos", "", 0, "ab^z^zq^_^_^_", "ab", 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    set_editor_text(c.text, c.cursor);
    ScriptInput->clear_history();
    press_keys(c.keys);
    EXPECT_EQ(editor_text(), c.after);
    EXPECT_EQ(ScriptInput->insert_position(), c.cursor_after);
  }
}

TEST_F(Editor, IncrementalSearchIgnoresCaseAndFindsTheNextMatch) {
  set_editor_text("x abc ABC Abc", 0);
  int start = 0, end = 0;
  press_keys("^s");
  EXPECT_TRUE(ScriptInput->searching());
  const struct { const char* keys; int selected, length; } steps[] = {
      {"a", 2, 1}, {"b", 2, 2}, {"c", 2, 3}, {"^s", 6, 3}, {"^s", 10, 3}, {"^s", 10, 3} /* no further match */};
  for (const auto& step : steps) {
    press_keys(step.keys);
    ASSERT_TRUE(ScriptInput->buffer()->selection_position(&start, &end));
    EXPECT_EQ(std::vector<int>({start, end, ScriptInput->insert_position()}),
              std::vector<int>({step.selected, step.selected + step.length, step.selected})) << step.keys;
  }
  EXPECT_EQ(ScriptInput->search_text(), "abc");
  EXPECT_EQ(editor_text(), "x abc ABC Abc");  // typed letters searched, never inserted
  ScriptInput->handle(FL_PUSH);
  EXPECT_FALSE(ScriptInput->searching());
  EXPECT_EQ(ScriptInput->search_text(), "");
}

TEST_F(Editor, EditMenuActsOnTheEditor) {
  set_editor_text("abc def", 0);
  ScriptInput->buffer()->select(0, 4);
  pick("Edit/Cut");
  EXPECT_EQ(editor_text(), "def");
  ScriptInput->insert_position(3);
  pick("Edit/Paste");
  EXPECT_EQ(editor_text(), "defabc ");
  chosen = {"lib/part.vmf"};
  ScriptInput->insert_position(0);
  pick("Edit/Insert File Name");
  EXPECT_EQ(last_chooser_title, "File name");
  EXPECT_EQ(editor_text(), "lib/part.vmfdefabc ");
  pick("Edit/Undo");
  EXPECT_EQ(editor_text(), "defabc ");
  EXPECT_TRUE(ScriptInput->modified());
}

TEST_F(Editor, StylesFollowTheLiveTables) {
  const struct { const char* text; const char* styles; } rows[] = {
      {"set x 1.5e3 # c", "EEEAAACCCCCABBB"}, {"plate p [n*2] 3", "FFFFFAAADDDDDAC"},
      {"a#b [c", "ABBBBB"}, {"repeat 2 {line}", "EEEEEEACAAFFFFA"}};
  for (const auto& row : rows) EXPECT_EQ(script_styles(row.text), row.styles) << row.text;
}

}  // namespace
