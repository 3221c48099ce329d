// gtest first: the toolkit headers bring X11 macros (None, Bool) that clash with its names.
#include <gtest/gtest.h>

#include "ui/main_window.h"

#include "support/gl_support.h"
#include "support/ui_support.h"
#include "ui/Grid_Scene.h"
#include "ui/quality_view.h"

#include <FL/Fl.H>
#include <FL/Fl_Menu_Bar.H>

using namespace Pelgrove_UserInterface;

namespace {

class Quality : public UiTest {
protected:
  Fl_Gl_Viewer& viewer() { return *dynamic_cast<Fl_Gl_Viewer*>(GridViewer); }
  void TearDown() override {
    show_quality_colours(QualityMeasure::COUNT);
    UiTest::TearDown();
  }
};

bool same(Rgb a, Rgb b) { return std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b) <= 6; }

// Three unit squares and a 4:1 sliver at their right, coloured by aspect ratio: n frames the
// sliver first, in the colour at the legend's bad end, and names it; N from there goes round to
// the last of the worst list, a square, in the colour at the good end. A hidden part's elements
// are passed over. None gives the parts' colour back.
TEST_F(Quality, ColoursLegendAndStepping) {
  set_editor_text("set element_type quads\nset rgb 0.5 0.5 0.5\nplate a 3 1  0 0 0  3 0 0  3 1 0  0 1 0\n"
                  "plate b 1 1  3 0 0  3.25 0 0  3.25 1 0  3 1 0\n");
  pick("Run");
  pick("Info/Quality Colours/Aspect ratio");
  EXPECT_EQ(quality_colours_shown(), QualityMeasure::ASPECT_RATIO);
  Fl::focus(&viewer());
  int x, y, bw, bh;
  quality_legend_bar(viewer().w(), viewer().h(), x, y, bw, bh);
  struct Row { const char* what; int key, state; double centre_x; const char* status; bool bad; } rows[] = {
      {"n: the sliver", 'n', 0, 3.125, "worst 1 of 4 by aspect ratio: element 4 (element 1 of part 'b' made at untitled:4), 4", true},
      {"N: round to the last", 'n', FL_SHIFT, 2.5, "worst 4 of 4 by aspect ratio: element 3 (element 3 of part 'a'", false},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    press_key(r.key, r.state, r.state ? "N" : "n");
    expect_vec(viewer().camera().center(), {r.centre_x, 0.5, 0}, 1e-9);
    EXPECT_EQ(status_text().rfind(r.status, 0), 0u) << status_text();
    const Picture p = render_view(viewer());
    ASSERT_GT(p.width, 0);
    const Rgb middle = p.at(viewer().w() / 2, viewer().h() / 2);
    const Rgb bad = p.at(x + bw / 2, y), good = p.at(x + bw / 2, y + bh - 1);
    EXPECT_TRUE(same(bad, {255, 0, 0}) && same(good, {0, 0, 255}));
    EXPECT_TRUE(same(middle, r.bad ? bad : good)) << middle.r << " " << middle.g << " " << middle.b;
  }
  (*gScenes)[1]->activate(false);  // part 'b' hidden: its sliver is passed over
  EXPECT_TRUE(step_worst_element(+1));
  EXPECT_EQ(status_text().rfind("worst 2 of 4 by aspect ratio: element 1 (element 1 of part 'a'", 0), 0u);
  (*gScenes)[1]->activate(true);
  pick("Info/Quality Colours/None");
  const Picture p = render_view(viewer());
  EXPECT_EQ(p.count({255, 0, 0}, 6) + p.count({0, 0, 255}, 6), 0);
  for (auto& s : *gScenes) EXPECT_TRUE(s.cast<Grid_Scene>()->vertex_rgba.empty());
}

}  // namespace
