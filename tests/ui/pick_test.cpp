// gtest first: the toolkit headers bring X11 macros (None, Bool) that clash with its names.
#include <gtest/gtest.h>

#include "ui/main_window.h"

#include "grid/Grid.h"
#include "meshio/formats.h"
#include "support/gl_support.h"
#include "support/test_support.h"
#include "support/ui_support.h"
#include "ui/Fl_Emacs.h"
#include "ui/Grid_Scene.h"
#include "ui/parts_dialog.h"
#include "ui/pick_info.h"
#include "ui/pick_tool.h"
#include "ui/viewer_slot.h"

#include <FL/Fl.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Window.H>

#include <cstdio>
#include <fstream>
#include <sstream>

using namespace Pelgrove_UserInterface;

namespace {

std::string gAnswer;  // to the next Find
std::string answer(const char*) { return gAnswer; }

// Two plates side by side (red at x 0..2, blue at x 3..5) and their lines in the script.
const std::string kTwo = "set element_type quads\nset rgb 0.5 0 0\nplate red 4 4  0 0 0  2 0 0  2 1 0  0 1 0\n"
                         "set rgb 0 0 0.5\n\nplate blue 4 4  3 0 0  5 0 0  5 1 0  3 1 0\n";

bool reddish(Rgb p) { return p.r > 100 && p.g < 60 && p.b < 60; }
bool bluish(Rgb p) { return p.b > 100 && p.r < 60 && p.g < 60; }
bool magenta(Rgb p) { return p.r > 200 && p.b > 200 && p.g < 80; }

class Picking : public UiTest {
protected:
  Fl_Gl_Viewer& view() { return *dynamic_cast<Fl_Gl_Viewer*>(GridViewer); }
  void SetUp() override {
    UiTest::SetUp();
    gAskNumber = answer;
    gHiddenParts.clear();
  }
  void TearDown() override {
    gHiddenParts.clear();
    UiTest::TearDown();
  }
  // Opens the script as a file, runs it and frames the parts.
  void run_file(const std::string& name, const std::string& text) {
    write_file(dir + "/" + name, text);
    open_script(dir + "/" + name);
    refit_viewer();
    pick("Run");
  }
  // A left click over the model point p (Ctrl held or a double click).
  void click_at(const Gl_Vec3& p, int state, int clicks) {
    const auto px = project_to_pixel(view().camera(), p);
    Fl::e_x = int(px[0]), Fl::e_y = int(px[1]);
    Fl::e_keysym = FL_Button + FL_LEFT_MOUSE;
    Fl::e_state = state | FL_BUTTON1;
    Fl::e_clicks = clicks;
    view().handle(FL_PUSH);
    Fl::e_state = state;
    view().handle(FL_RELEASE);
    Fl::e_state = 0, Fl::e_clicks = 0;
  }
  int editor_line() { return ScriptInput->buffer()->count_lines(0, ScriptInput->insert_position()) + 1; }
};

// The status text of a pick with its points as the written .dvk file gives them.
std::string with_dvk_points(const std::string& status, const std::string& dvk) {
  long number = 0, np = 0, ne = 0, num = 0, group = 0, id = 0;
  int n = 0;
  sscanf(status.c_str(), "element %ld", &number);
  std::ifstream f(dvk);
  std::string word, out = status.substr(0, status.find(": points") + 8);
  std::getline(f, word);
  f >> np >> ne >> group;
  std::vector<std::array<double, 3>> xyz(np + 1);
  for (long i = 1; i <= np; ++i) f >> word >> xyz[i][0] >> xyz[i][1] >> xyz[i][2];
  for (long e = 1; e <= ne && num != number; ++e) {
    f >> word >> num >> n >> group;
    std::string points;
    for (int j = 0; j < n && f >> id; ++j)
      points += string_printf(" %ld (%g, %g, %g)", id, xyz[id][0], xyz[id][1], xyz[id][2]);
    if (num == number) out += points;
  }
  return out;
}

}  // namespace

// Ctrl+click and the pick key name the element under the pointer with the number, points and
// coordinates of the written file; a miss says so.
TEST_F(Picking, PickNamesTheWrittenElement) {
  run_file("two.vmf", kTwo);
  const std::string dvk = dir + "/two.dvk";
  ASSERT_TRUE(find_mesh_format("dvk")->write(dvk.c_str(), false));
  const struct { const char* how; Gl_Vec3 at; const char* part; } rows[] = {
      {"ctrl", {0.3, 0.6, 0}, "red"}, {"ctrl", {4.6, 0.1, 0}, "blue"}, {"key", {3.4, 0.9, 0}, "blue"},
      {"ctrl", {2.5, 3, 0}, nullptr},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.how + std::string(" ") + std::to_string(r.at[0]));
    if (std::string(r.how) == "key") {
      const auto px = project_to_pixel(view().camera(), r.at);
      Fl::focus(&view());
      Fl::e_x = view().x() + int(px[0]), Fl::e_y = view().y() + int(px[1]);  // the window's coordinates
      press_key('a', 0, "a");
    } else {
      click_at(r.at, FL_CTRL, 0);
    }
    if (!r.part) {
      EXPECT_EQ(status_text(), "no element under the pointer");
      continue;
    }
    EXPECT_NE(status_text().find(" of '" + std::string(r.part) + "' made at two.vmf:"), std::string::npos)
        << status_text();
    EXPECT_EQ(status_text(), with_dvk_points(status_text(), dvk));
  }
}

// A double click puts the cursor and the focus on the line that made the part: typing there
// and saving marks that line in the file. A part made in an included file leads to the
// include line, and the status line names the file it came from.
TEST_F(Picking, DoubleClickGoesToTheScriptLine) {
  write_file(dir + "/inc.vmf", "set rgb 0 0.5 0\n\nplate green 2 2  0 2 0  1 2 0  1 3 0  0 3 0\n");
  const struct { const char* script; Gl_Vec3 at; int line; const char* status; } rows[] = {
      {"", {4, 0.5, 0}, 6, "line 6: element "},
      {"", {1, 0.5, 0}, 3, "line 3: element "},
      {"include inc.vmf\n", {0.5, 2.5, 0}, 7, "inc.vmf:3): points"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.line);
    run_file("two.vmf", kTwo + r.script);
    Fl::focus(&view());
    click_at(r.at, 0, 1);
    EXPECT_EQ(Fl::focus(), ScriptInput);
    EXPECT_EQ(editor_line(), r.line);
    EXPECT_NE(status_text().find(r.status), std::string::npos) << status_text();
    press_keys("#");
    pick("File/Save");
    std::istringstream saved(read_file(dir + "/two.vmf")), was(kTwo + r.script);
    std::string line, before;
    for (int i = 0; i < r.line; ++i) std::getline(saved, line), std::getline(was, before);
    EXPECT_EQ(line, "#" + before);
  }
}

// Find Element and Find Point highlight and frame what they find; numbers that do not exist
// (or are not numbers) are said so.
TEST_F(Picking, FindTakesTheNumbersOfTheCheck) {
  run_file("two.vmf", kTwo);
  const struct { const char* item; const char* answer; const char* alert; } rows[] = {
      {"Info/Find Element", "20", nullptr}, {"Info/Find Point", "7", nullptr},
      {"Info/Find Element", "33", "there is no element 33: elements are numbered 1 to 32"},
      {"Info/Find Point", "0", "there is no point 0: points are numbered 1 to 50"},
      {"Info/Find Element", "2x", "'2x' is not an element number"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(std::string(r.item) + " " + r.answer);
    sink.clear();
    gAnswer = r.answer;
    pick(r.item);
    EXPECT_EQ(alerts(), r.alert ? std::vector<std::string>{r.alert} : std::vector<std::string>{});
    if (r.alert) continue;
    const bool element = std::string(r.item).find("Element") != std::string::npos;
    EXPECT_EQ(status_text().rfind(element ? "element " + std::string(r.answer) + " (quadrilateral) of 'blue'"
                                          : "point " + std::string(r.answer) + " (", 0), 0u) << status_text();
  }
}

// What the viewer draws: a found element framed in the highlight colour; a hidden part gone
// from the picture (and from picking) but kept in the export and over a new run.
TEST_F(Picking, HighlightAndHiddenPartsInThePicture) {
  run_file("two.vmf", kTwo);
  const std::string before = dir + "/before.dvk", after = dir + "/after.dvk";
  ASSERT_TRUE(find_mesh_format("dvk")->write(before.c_str(), false));
  auto hide_red = [&](bool hidden) {
    Fl_Window* w = show_parts_dialog();
    Fl_Check_Button* red = nullptr;
    auto* rows = static_cast<Fl_Group*>(w->child(0));
    for (int i = 0; i < rows->children(); ++i)
      if (auto* b = dynamic_cast<Fl_Check_Button*>(rows->child(i)))
        if (std::string(b->label()) == "red") red = b;
    ASSERT_NE(red, nullptr);
    red->value(!hidden);
    red->do_callback();
  };
  // 1: some pixels of the colour, 0: none. The found element fills the view: blue is out of it.
  const struct { const char* step; int red, blue, magenta; } rows[] = {
      {"run", 1, 1, 0}, {"find 5", 1, 0, 1}, {"hide red", 0, 1, 0}, {"run again", 0, 1, 0}, {"show red", 1, 1, 0},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.step);
    const std::string step = r.step;
    if (step == "run") {
      std::string parts;
      for (const Part_Row& row : part_rows())
        parts += string_printf("%s %ld %g; ", row.name.c_str(), row.elements, row.color[0] + row.color[2]);
      EXPECT_EQ(parts, "red 16 0.5; blue 16 0.5; ");
    }
    if (step == "find 5") {
      ASSERT_TRUE(find_element(5));
      const Element_Info e = element_info(*Grid::gGrids[0], 4, 5);  // element 5: the red part's fifth
      expect_vec(view().camera().center(), {(e.xyz[0][0] + e.xyz[2][0]) / 2, (e.xyz[0][1] + e.xyz[2][1]) / 2, 0}, 1e-9);
    }
    if (step == "hide red") {
      view().autocenter(), view().autoscale();
      hide_red(true);
      click_at({1, 0.5, 0}, FL_CTRL, 0);
      EXPECT_EQ(status_text(), "no element under the pointer");
    }
    if (step == "run again") pick("Run");
    if (step == "show red") hide_red(false);
    const Picture p = render_view(view());
    const int total = p.width * p.height;
    EXPECT_EQ(p.count_if(reddish) > 0, r.red == 1);
    EXPECT_EQ(p.count_if(bluish) > 0, r.blue == 1);
    // Framed: the element takes a good share of the view.
    EXPECT_EQ(p.count_if(magenta) > total / 100, r.magenta == 1) << p.count_if(magenta);
    if (step == "run again") {
      ASSERT_TRUE(find_mesh_format("dvk")->write(after.c_str(), false));
      EXPECT_EQ(read_file(after), read_file(before));
      EXPECT_FALSE(part_rows()[0].shown);
    }
  }
}

// A click while a run goes on (the run handles events) finds nothing: the parts it knew are
// gone. Esc then ends the run.
bool gPickedDuringRun = true;
std::array<double, 2> gOnRed;  // a pixel on the red part of the run before
void click_during_run(void*) {
  gPickedDuringRun = pick_element_at(int(gOnRed[0]), int(gOnRed[1]), true);
  press_key(FL_Escape, 0, "\033");
}

TEST_F(Picking, NoPickWhileARunGoesOn) {
  run_file("two.vmf", kTwo);
  gOnRed = project_to_pixel(view().camera(), {1, 0.5, 0});
  set_editor_text("plate p 2 2  0 0 0  1 0 0  1 1 0  0 1 0\nrepeat 1e12 {}\n");
  Fl::add_timeout(0.3, click_during_run);
  pick("Run");
  EXPECT_FALSE(gPickedDuringRun);
  const auto px = project_to_pixel(view().camera(), {0.5, 0.5, 0});  // on the part the run kept
  EXPECT_TRUE(pick_element_at(int(px[0]), int(px[1]), false)) << status_text();
}
