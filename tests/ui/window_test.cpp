// gtest first: the toolkit headers bring X11 macros (None, Bool) that clash with its names.
#include <gtest/gtest.h>

#include "ui/main_window.h"

#include "builders/builders.h"
#include "grid/Grid.h"
#include "meshio/formats.h"
#include "script/parameters.h"
#include "support/test_support.h"
#include "support/ui_support.h"
#include "ui/Fl_Emacs.h"
#include "ui/Grid_Scene.h"
#include "ui/SimpleForm.h"

#include <FL/Fl.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Menu_Bar.H>

#include <filesystem>

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
};

TEST_F(Window, OpeningAnotherScriptAsksAboutTheEditedOne) {
  const struct { const char* id; int answer; const char* saved_a; } cases[] = {
      {"No <esc> discards the edits", 0, "set a 1\n"},
      {"Save writes them first", 1, "#set a 1\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    std::string a = script("a.vmf", "set a 1\n"), b = script("b.vmf", "set b 2\n");
    open_script(a);
    EXPECT_EQ(editor_text(), "set a 1\n");
    EXPECT_FALSE(ScriptInput->modified());
    EXPECT_EQ(window_title(), "a.vmf - pelgrove");
    press_keys("#");
    EXPECT_EQ(window_title(), "*a.vmf - pelgrove");
    sink.clear();
    sink.answer = c.answer;
    chosen = {b};
    pick("File/Open");
    EXPECT_EQ(last_chooser_title, "Select a Mesh File");
    EXPECT_EQ(questions(), std::vector<std::string>{
                               string_printf("would you like to save the pelgrove script?\n'%s'", a.c_str())});
    EXPECT_EQ(read_file(a), c.saved_a);
    EXPECT_EQ(editor_text(), "set b 2\n");
    EXPECT_EQ(file_name, b);
    sink.answer = 0;
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
  ASSERT_TRUE(Form->shown());
  EXPECT_FALSE(ScriptInput->visible());
  ASSERT_EQ(Form->names(), (std::vector<std::string>{"w", "h"}));
  EXPECT_STREQ(Form->fields()[0]->value(), "10");
  EXPECT_STREQ(Form->fields()[1]->value(), "[w*2]");
  EXPECT_EQ(Form->title(), "Values and Expressions");
  Form->fields()[0]->value("5");
  sink.clear();
  pick("Run");  // same block: the edited value is used
  EXPECT_TRUE(alerts().empty());
  EXPECT_EQ(gParameters["area"], 50);
  set_editor_text("simple_form \"Sizes\" { set w 1 }\n");
  pick("Run");
  EXPECT_EQ(alerts().size(), 1u);
  EXPECT_EQ(Form->names(), std::vector<std::string>{"w"});
  EXPECT_EQ(Form->title(), "Sizes");
}

// Every writer has an item under Export to, and the item alone chooses the format, whatever the
// file name says; failures name the file.
TEST_F(Window, ExportOffersEveryWriter) {
  set_editor_text("line l 2 0 0 0 1 0 0\n");
  pick("Run");
  const struct { const char* label; const char* name; } writers[] = {
      {"VOR-N binary ...", "vbf"}, {"dovrekin ascii...", "dvk"},
      {"VTK XML unstructured grid (.vtu), parts as cell data", "vtu"},
      {"Gmsh 4.1 ascii mesh (.msh), one physical group per part", "msh"},
      {"binary STL (.stl), triangles only", "stl"}, {"Wavefront OBJ (.obj), one group per part", "obj"},
  };
  const std::vector<std::string> labels = items("File/Export to");
  ASSERT_EQ(labels.size(), std::size(writers));
  for (const auto& w : writers) {
    SCOPED_TRACE(w.label);
    EXPECT_EQ(labels[&w - writers], w.label);
    const std::string made = dir + "/by_item.vbf", expected = dir + "/by_name." + w.name;
    chosen = {made};
    pick(("File/Export to/" + std::string(w.label)).c_str());
    EXPECT_EQ(last_chooser_title, "Select an Export File Name");
    ASSERT_TRUE(find_mesh_format(w.name)->write(expected.c_str(), false));
    EXPECT_EQ(read_file(made), read_file(expected));
  }
  EXPECT_TRUE(alerts().empty());
  chosen = {dir + "/no/such/dir/m.dvk"};
  pick("File/Export to/dovrekin ascii...");
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
      {"line c 3 0 0 0 0 3 0\n", "\n  part 'c': 3 elements: 3 bars, 0 triangles, 0 quadrilaterals\nmerged points: 0\n"}};
  for (const auto& run : runs) {
    set_editor_text(run.script);
    pick("Run");
    sink.clear();
    pick("Info/Show Mesh Check");
    ASSERT_EQ(sink.entries.size(), 1u);
    EXPECT_EQ(sink.entries[0].kind + " " + sink.entries[0].title, "list Mesh Check");
    EXPECT_EQ(sink.entries[0].text.rfind("points: 4\n", 0), 0u) << sink.entries[0].text;
    EXPECT_NE(sink.entries[0].text.find(run.line), std::string::npos) << sink.entries[0].text;
  }
  EXPECT_EQ(sink.entries[0].text.find("part 'a'"), std::string::npos);
}

// The toggle sits after "Show Point Merging", starts off, and rebuilds the display when picked
// and at every Run.
TEST_F(Window, FreeEdgesToggleRebuildsTheDisplay) {
  const char* const toggle = "Info/Show Free Edges";
  const Fl_Menu_Item* item = MainMenuBar->find_item(toggle);
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(MainMenuBar->find_index(item), MainMenuBar->find_index("Info/Show Point Merging") + 1);
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
