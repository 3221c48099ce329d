// gtest first: the toolkit headers bring X11 macros (None, Bool) that clash with its names.
#include <gtest/gtest.h>

#include "ui/main_window.h"

#include "builders/builders.h"
#include "grid/Grid.h"
#include "interp/library.h"
#include "meshio/formats.h"
#include "script/parameters.h"
#include "support/gl_support.h"
#include "support/test_support.h"
#include "support/ui_support.h"
#include "ui/Fl_Emacs.h"
#include "ui/Grid_Scene.h"
#include "ui/SimpleForm.h"
#include "ui/messages.h"

#include <FL/Fl.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Menu_Bar.H>

#include <chrono>
#include <filesystem>
#include <map>
#include <unistd.h>

using namespace Pelgrove_UserInterface;
namespace fs = std::filesystem;

namespace {

class Window : public UiTest {
protected:
  std::string script(const std::string& name, const std::string& text) {
    write_file(dir + "/" + name, text);
    return dir + "/" + name;
  }
  // Labels of the items under a submenu ("File/Recent").
  std::vector<std::string> items(const char* submenu) {
    std::vector<std::string> labels;
    const Fl_Menu_Item* i = MainMenuBar->menu() + MainMenuBar->find_index(submenu) + 1;
    for (; i->label(); i = i->next()) labels.push_back(i->label());
    return labels;
  }
  // s/a.vmf ("set a 1") opened after s/b.vmf, or an unnamed script, edited by typing "#".
  std::string edit_a(bool named = true) {
    close_discarding();
    fs::remove_all(dir + "/s");
    const std::string a = script("s/a.vmf", "set a 1\n");
    open_script(script("s/b.vmf", "set b 2\n"));
    if (named) open_script(a);
    else close_discarding();
    Fl::focus(ScriptInput);  // a question had it
    press_keys("#");
    return a;
  }
  // Picks `item` ("" is the window's close box) with the real dialogs, answered by `presses`.
  void pick_in_dialogs(const std::string& item, std::vector<std::vector<std::string>> presses) {
    FltkSink dialogs;
    if (!presses.empty()) set_message_sink(&dialogs);  // else a question would be captured
    press_in_dialogs("Question", std::move(presses));
    if (item.empty()) Fl::handle(FL_CLOSE, PelgroveWindow);
    else pick(item.c_str());
    set_message_sink(&sink);
  }
};

// Every way of dropping the editor's text asks first, and so does saving over a file another
// program changed since it was opened or saved, in the real dialogs. Cancel, Esc and the
// dialog's close box leave the text, the name and the window as they were, and so does a
// cancelled Save As; the same text written again elsewhere is no change.
TEST_F(Window, QuestionsBeforeEditsOrFilesAreLost) {
  const struct { const char* item; bool named; const char* disk; std::vector<std::vector<std::string>> presses;
                 const char* chooser; const char* editor; const char* on_disk; } cases[] = {
      {"File/Close", true, nullptr, {{"Cancel"}}, "", "#set a 1\n", "set a 1\n"},
      {"File/Open", true, nullptr, {{"<Escape>"}}, "b.vmf", "#set a 1\n", "set a 1\n"},
      {"File/Recent/b.vmf", true, nullptr, {{"<close>"}}, "", "#set a 1\n", "set a 1\n"},
      {"File/Quit", true, nullptr, {{"Cancel"}}, "", "#set a 1\n", "set a 1\n"},
      {"", true, nullptr, {{"<Escape>"}}, "", "#set a 1\n", "set a 1\n"},  // the window's close box
      {"File/Quit", false, nullptr, {{"Save"}}, "", "#", "set a 1\n"},
      {"File/Open", true, nullptr, {{"Don't Save"}}, "b.vmf", "set b 2\n", "set a 1\n"},
      {"File/Close", true, nullptr, {{"Save"}}, "", "", "#set a 1\n"},
      {"File/Save", true, "set a 2\n", {{"Cancel"}}, "", "#set a 1\n", "set a 2\n"},
      {"File/Save", true, "set a 2\n", {{"Overwrite"}}, "", "#set a 1\n", "#set a 1\n"},
      {"File/Save", true, "set a 2\n", {{"Reload"}}, "", "set a 2\n", "set a 2\n"},
      {"File/Close", true, "set a 2\n", {{"Save"}, {"Reload"}}, "", "set a 2\n", "set a 2\n"},  // not closed
      {"File/Save", true, "set a 1\n", {}, "", "#set a 1\n", "#set a 1\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.item) + (c.presses.empty() ? "" : " " + c.presses.back()[0]));
    const std::string a = edit_a(c.named), b = dir + "/s/b.vmf";
    if (c.disk) {
      write_file(a, c.disk);
      fs::last_write_time(a, fs::last_write_time(a) + std::chrono::seconds(2));
    }
    chosen = {*c.chooser ? dir + "/s/" + c.chooser : ""};
    sink.clear();
    pick_in_dialogs(c.item, c.presses);
    const std::string editor = c.editor;
    EXPECT_TRUE(questions().empty());
    EXPECT_EQ(editor_text(), editor);
    EXPECT_EQ(ScriptInput->modified(), editor[0] == '#' && editor != c.on_disk);
    EXPECT_EQ(file_name, editor.empty() ? "" : editor == "set b 2\n" ? b : c.named ? a : "");
    EXPECT_EQ(read_file(a), c.on_disk);
    EXPECT_TRUE(PelgroveWindow->shown());
  }
}

// A save that cannot be written says why and leaves the old file whole and nothing beside it,
// the editor's text with its unsaved mark, and (from the close question) the script open.
TEST_F(Window, FailedSaveKeepsTheOldFileAndTheEdits) {
  enum Fault { kDirectoryInPlace, kDiskFull, kReadOnlyDirectory };
  const struct { const char* pick; bool named; Fault fault; const char* why; } cases[] = {
      {"File/Save", true, kDirectoryInPlace, "Is a directory"},
      {"File/Save", true, kDiskFull, "File too large"},
      {"File/Save", true, kReadOnlyDirectory, "Permission denied"},
      {"File/Close", false, kDirectoryInPlace, "Is a directory"},  // Save, then Save As
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    if (c.fault == kReadOnlyDirectory && geteuid() == 0) continue;  // permissions do not stop root
    const std::string a = edit_a(c.named), folder = dir + "/s";
    sink.clear();
    sink.answer = kSave;
    chosen = {a};
    if (c.fault == kDirectoryInPlace) fs::remove(a), fs::create_directory(a);
    if (c.fault == kReadOnlyDirectory) fs::permissions(folder, fs::perms::owner_write, fs::perm_options::remove);
    if (c.fault == kDiskFull) with_file_size_limit(4, [&] { return pick(c.pick), true; });
    else pick(c.pick);
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add);
    EXPECT_EQ(alerts(), std::vector<std::string>{"could not save the script to '" + a + "': " + c.why});
    EXPECT_EQ(dir_entries(folder), (std::vector<std::string>{"a.vmf", "b.vmf"}));
    EXPECT_EQ(fs::is_directory(a) ? "(directory)" : read_file(a),
              c.fault == kDirectoryInPlace ? "(directory)" : "set a 1\n");
    EXPECT_EQ(window_title()[0], '*');
    EXPECT_EQ(file_name, c.named ? a : "");
    // includes start from the script's folder, or the working directory (the bottom entry)
    EXPECT_EQ(dir_stack.size(), c.named ? 2u : 1u);
    if (c.named) {
      EXPECT_EQ(dir_stack.back(), folder + "/");
    }
  }
}

TEST_F(Window, UnmodifiedScriptClosesWithoutAQuestionAndSaveAsRenames) {
  open_script(script("a.vmf", "x\n"));
  pick("File/Close");
  EXPECT_TRUE(questions().empty());
  EXPECT_EQ(editor_text(), "");
  EXPECT_EQ(file_name, "");
  set_editor_text("set z 3\n");  // Save on an unnamed script is Save As
  chosen = {dir + "/new.vmf"};
  pick("File/Save");
  EXPECT_EQ(last_chooser_title, "Select a pelgrove File");
  EXPECT_EQ(read_file(dir + "/new.vmf"), "set z 3\n");
  EXPECT_FALSE(ScriptInput->modified());
  EXPECT_EQ(file_name, dir + "/new.vmf");
  EXPECT_EQ(dir_stack.size(), 2u);
  EXPECT_EQ(dir_stack.back(), dir + "/");
  chosen = {""};  // cancelled: nothing changes
  pick("File/Save As...");
  EXPECT_EQ(file_name, dir + "/new.vmf");
}

TEST_F(Window, RecentListsEarlierFilesOncePerBaseName) {
  std::string a = script("a.vmf", "a\n"), other_a = script("sub/a.vmf", "other\n");
  open_script(a);
  chosen = {dir + "/b.vmf"};
  pick("File/Save As...");
  EXPECT_EQ(items("File/Recent"), std::vector<std::string>{"a.vmf"});
  open_script(other_a);  // same base name: one entry, the later path
  EXPECT_EQ(items("File/Recent"), (std::vector<std::string>{"a.vmf", "b.vmf"}));
  pick("File/Recent/b.vmf");
  EXPECT_EQ(file_name, dir + "/b.vmf");
  EXPECT_EQ(editor_text(), "a\n");
  pick("File/Recent/a.vmf");
  EXPECT_EQ(editor_text(), "other\n");
}

// A builder that looks at the backup while the run is in progress.
std::string gBackupSeen;
bool probe_backup(std::string, scriptstream&, std::string&) {
  gBackupSeen = fs::exists("pelgrove-tmpbak.vmf") ? read_file("pelgrove-tmpbak.vmf") : "(none)";
  return true;
}

TEST_F(Window, RunKeepsTheBackupOnlyWhileItRuns) {
  gBuilders["probe_backup"] = Builder("probe_backup", probe_backup);
  const std::string text = "set units 1\nprobe_backup p\n";
  set_editor_text(text);
  gBackupSeen.clear();
  press_keys("~r");
  gBuilders.erase("probe_backup");
  EXPECT_EQ(gBackupSeen, text);
  EXPECT_FALSE(fs::exists(dir + "/pelgrove-tmpbak.vmf"));
  EXPECT_EQ(status_text(), "run finished: 0 parts, 0 points, 0 elements");
}

TEST_F(Window, FirstMessagePutsTheCursorOnItsLine) {
  set_editor_text("set x 1\n\nno_such_word\nset y 2\n");
  pick("Run");
  ASSERT_EQ(questions().size(), 1u);
  EXPECT_EQ(status_text(), "line 3: ERROR: did not find a builder called 'no_such_word'");
  EXPECT_EQ(ScriptInput->insert_position(), 9);
  EXPECT_EQ(gParameters.count("y"), 0u);
}

// Esc during a long run: a second run is refused meanwhile, the parts made so far stay.
bool gSecondRunStarted = true;
void press_escape(void*) {
  gSecondRunStarted = run_editor_script();
  press_key(FL_Escape, 0, "\033");
}

TEST_F(Window, EscapeCancelsALongRun) {
  set_editor_text("line l 2 0 0 0 1 0 0\nrepeat 1e12 {}\nline never 2 0 0 0 1 0 0\n");
  Fl::add_timeout(0.3, press_escape);
  pick("Run");
  EXPECT_FALSE(gSecondRunStarted);
  EXPECT_FALSE(run_in_progress());
  EXPECT_EQ(Grid::gGrids.size(), 1u);
  EXPECT_EQ(status_text().rfind("run cancelled after ", 0), 0u) << status_text();
  EXPECT_FALSE(fs::exists(dir + "/pelgrove-tmpbak.vmf"));
  EXPECT_TRUE(MainMenuBar->active());
  EXPECT_TRUE(PelgroveWindow->shown());
  set_editor_text("line l 2 0 0 0 1 0 0\n");  // the next run is a whole run again
  pick("Run");
  EXPECT_EQ(status_text(), "run finished: 1 parts, 3 points, 2 elements");
}

TEST_F(Window, FormIsRebuiltOnlyWhenItsBlockChanges) {
  set_editor_text("simple_form { set w 10\n set h [w * 2]\n}\nset area [w*h]\n");
  pick("Run");
  EXPECT_EQ(alerts(), std::vector<std::string>{"simple_form contents synchronized with script"});
  ASSERT_TRUE(script_form().shown());
  EXPECT_FALSE(ScriptInput->visible());
  ASSERT_EQ(script_form().names(), (std::vector<std::string>{"w", "h"}));
  EXPECT_STREQ(script_form().fields()[0]->value(), "10");
  EXPECT_STREQ(script_form().fields()[1]->value(), "[w*2]");
  EXPECT_EQ(script_form().title(), "Values and Expressions");
  script_form().fields()[0]->value("5");
  sink.clear();
  pick("Run");  // same block: the edited value is used
  EXPECT_TRUE(alerts().empty());
  EXPECT_EQ(gParameters["area"], 50);
  set_editor_text("simple_form \"Sizes\" { set w 1 }\n");
  pick("Run");
  EXPECT_EQ(alerts().size(), 1u);
  EXPECT_EQ(script_form().names(), std::vector<std::string>{"w"});
  EXPECT_EQ(script_form().title(), "Sizes");
}

// Every writer has one item under Export to, and the item alone chooses the format, whatever
// the file name says; failures name the file.
TEST_F(Window, ExportOffersEveryWriter) {
  set_editor_text("line l 2 0 0 0 1 0 0\n");
  pick("Run");
  std::map<std::string, std::string> item_of;  // format name -> its item
  for (const std::string& label : items("File/Export to")) {
    SCOPED_TRACE(label);
    const std::string made = dir + "/by_item.vbf", by_name = dir + "/by_name";
    chosen = {made};
    pick(("File/Export to/" + label).c_str());
    EXPECT_EQ(last_chooser_title, "Select an Export File Name");
    for (const Mesh_Format& f : mesh_formats())
      if (f.write(by_name.c_str(), false) && read_file(by_name) == read_file(made)) {
        EXPECT_TRUE(item_of.emplace(f.name, label).second) << f.name;
      }
  }
  EXPECT_EQ(item_of.size(), mesh_formats().size());
  EXPECT_TRUE(alerts().empty());
  chosen = {dir + "/no/such/dir/m.dvk"};
  pick(("File/Export to/" + item_of["dvk"]).c_str());
  chosen = {dir + "/m.x"};
  export_mesh(nullptr, "*.x");
  EXPECT_EQ(alerts(), (std::vector<std::string>{"could not export to dovrekin file '" + dir + "/no/such/dir/m.dvk'",
                                                "unsupported file type (extension) '" + dir + "/m.x'"}));
}

TEST_F(Window, PartSummaryCountsElementsPerName) {
  set_editor_text("line a 2 0 0 0 1 0 0\nline a 1 5 0 0 6 0 0\nline b 3 9 0 0 9 1 0\n");
  pick("Run");
  EXPECT_EQ(part_summary_text(), "@m@c@_Exported Parts\n@t3 elements in 'a'\n@t3 elements in 'b'\n@_\n"
                                 "@t6 total elements\n@t9 total points\n");
}

// The report of the last run; a second run replaces it.
TEST_F(Window, MeshCheckShowsTheLastRun) {
  const struct { const char* script; const char* line; } runs[] = {
      {"line a 2 0 0 0 1 0 0\nline b 1 1 0 0 2 0 0\n", "\nmerged points: 1\n  'a' and 'b': 1\n"},
      {"line c 3 0 0 0 0 3 0\n", "\n  part 'c' made at untitled:1: 3 elements: 3 bars, 0 triangles, 0 quadrilaterals\nmerged points: 0\n"}};
  for (const auto& run : runs) {
    set_editor_text(run.script);
    pick("Run");
    sink.clear();
    pick("Info/Show Mesh Check");
    ASSERT_EQ(sink.entries.size(), 1u);
    EXPECT_EQ(sink.entries[0].kind + " " + sink.entries[0].title, "list Mesh Check");
    EXPECT_EQ(sink.entries[0].text.rfind("points: 4\n", 0), 0u) << sink.entries[0].text;
    EXPECT_NE(sink.entries[0].text.find(run.line), std::string::npos) << sink.entries[0].text;
    EXPECT_NE(sink.entries[0].text.find("\nT-joints (points of one part on an element of another"), std::string::npos);
  }
  EXPECT_EQ(sink.entries[0].text.find("part 'a'"), std::string::npos);
}

// The toggle starts off and rebuilds the display when picked and at every Run.
TEST_F(Window, FreeEdgesToggleRebuildsTheDisplay) {
  const char* const toggle = "Info/Show Free Edges";
  const Fl_Menu_Item* item = MainMenuBar->find_item(toggle);
  ASSERT_NE(item, nullptr);
  const struct { const char* pick; const char* script; bool on; size_t edges; } steps[] = {
      {"Run", "plate p 2 2  0 0 0  1 0 0  1 1 0  0 1 0\n", false, 0}, {toggle, nullptr, true, 8},
      {"Run", "plate q 1 1  0 0 0  1 0 0  1 1 0  0 1 0\n", true, 4}, {toggle, nullptr, false, 0}};
  for (const auto& step : steps) {
    SCOPED_TRACE(step.pick);
    if (step.script) set_editor_text(step.script);
    pick(step.pick);
    size_t shown = 0;
    for (auto& s : *gScenes) shown += s.cast<Grid_Scene>()->mesh.free_edges.size() / 6;
    EXPECT_EQ(shown, step.edges);
    EXPECT_EQ(item->value() != 0, step.on);
  }
}

}  // namespace
