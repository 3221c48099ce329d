// gtest first: the toolkit headers bring X11 macros (None, Bool) that clash with its names.
#include <gtest/gtest.h>

#include "ui/auto_reload.h"

#include "grid/Grid.h"
#include "support/test_support.h"
#include "support/ui_support.h"
#include "ui/Fl_Emacs.h"
#include "ui/main_window.h"

#include <FL/Fl_Menu_Bar.H>

using namespace Pelgrove_UserInterface;

namespace {

class AutoReload : public UiTest {
protected:
  void TearDown() override {
    set_auto_reload(false);
    UiTest::TearDown();
  }
};

const char* const kOneLine = "include part.vmf\n";
const char* const kPart = "line a 2 0 0 0 1 0 0\n";
const char* const kTwoParts = "line a 2 0 0 0 1 0 0\nline b 2 5 0 0 6 0 0\n";

// The script includes part.vmf; after a first run the watcher is switched on, one file is
// rewritten, and one look is taken.
TEST_F(AutoReload, ChangedFileIsReloadedAndRunUnlessTheEditorHoldsEdits) {
  // file (script.vmf or part.vmf) is rewritten with text, after an unsaved edit in the editor when
  // `edit`; then whether it was reloaded, the editor's text (without the edit) and the parts.
  const struct { const char* id; const char* file; const char* text; bool edit, reloaded; const char* editor;
                 size_t parts; } cases[] = {
      {"the script changes", "script.vmf", "include part.vmf\nline c 1 0 9 0 1 9 0\n", false, true,
       "include part.vmf\nline c 1 0 9 0 1 9 0\n", 2},
      {"an included file changes", "part.vmf", kTwoParts, false, true, kOneLine, 2},
      {"unsaved edits are kept", "script.vmf", "line z 1 0 0 0 1 0 0\n", true, false, kOneLine, 1},
      {"the same text saved again runs nothing", "script.vmf", kOneLine, false, false, kOneLine, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    write_file(dir + "/script.vmf", kOneLine);
    write_file(dir + "/part.vmf", kPart);
    open_script(dir + "/script.vmf");
    pick("Run");
    ASSERT_EQ(Grid::gGrids.size(), 1u);
    pick("File/Auto Reload");
    ASSERT_TRUE(auto_reload_on());
    EXPECT_FALSE(poll_auto_reload());  // nothing changed yet
    if (c.edit) press_keys("#");  // an unsaved edit at the start of the text
    write_file(dir + "/" + c.file, c.text);
    EXPECT_EQ(poll_auto_reload(), c.reloaded);
    EXPECT_EQ(editor_text(), (c.edit ? "#" : "") + std::string(c.editor));
    EXPECT_EQ(Grid::gGrids.size(), c.parts);
    if (c.reloaded) {
      EXPECT_FALSE(ScriptInput->modified());
      EXPECT_EQ(status_text().rfind("run finished: ", 0), 0u) << status_text();
    }
    if (c.edit) {
      EXPECT_EQ(status_text(), "'script.vmf' changed on disk; the editor keeps its unsaved edits (Save asks first)");
      set_status("");  // said once: the next look leaves the line alone
      EXPECT_FALSE(poll_auto_reload());
      EXPECT_EQ(status_text(), "");
    }
    pick("File/Auto Reload");  // off: a change is left alone
    EXPECT_FALSE(auto_reload_on());
    EXPECT_FALSE(MainMenuBar->find_item("File/Auto Reload")->value());
    write_file(dir + "/part.vmf", "line off 1 0 0 0 1 0 0\n");
    EXPECT_FALSE(poll_auto_reload());
    close_discarding();
  }
}

}  // namespace
