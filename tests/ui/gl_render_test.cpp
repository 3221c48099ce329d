// Rendering under a test display (Mesa): parts drawn by the viewer are read back pixel by
// pixel. Lit faces facing the light come out at 1.4 times their colour (clamped), element
// edges and bars unlit at exactly their colour (a third of it with dark edges).
#include "grid/Grid.h"
#include "interp/interp.h"
#include "support/gl_support.h"
#include "support/test_support.h"
#include "ui/Gl_Triad.h"
#include "ui/Grid_Scene.h"
#include "ui/messages.h"
#include "util/message.h"

#include <FL/Fl.H>
#include <FL/Fl_Browser.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Window.H>
#include <gtest/gtest.h>

#include <cmath>
#include <map>

namespace {
struct GlRender : ::testing::Test {
  ViewerWindow win;
  RC<Gl_Scene_Composite> scenes{new Gl_Scene_Composite};
  Fl_Gl_Viewer& v = win.viewer();

  void TearDown() override {
    reset_script_state();
  }
  // Runs the script, shows its parts fitted to the view and reads the picture back.
  Picture show(const std::string& script, const Scene_Options& options = {}) {
    EXPECT_TRUE(run_script_text(script));
    load_grids(*scenes, options);
    v.scene(scenes, true);
    return win.render();
  }
  // Presses a key over pixel (x, y) with the viewer focused.
  void press(int key, int x, int y, int state = 0) {
    Fl::focus(&v);
    Fl::e_keysym = key, Fl::e_state = state, Fl::e_x = x, Fl::e_y = y;
    v.handle(FL_KEYBOARD);
  }
  void wheel(int dy, int x, int y) {
    Fl::e_dx = 0, Fl::e_dy = dy, Fl::e_x = x, Fl::e_y = y;
    v.handle(FL_MOUSEWHEEL);
  }
};

const std::string PLATE = "plate p 4 4  0 0 0  2 0 0  2 1 0  0 1 0\n";
const std::string RED_PLATE = "set rgb 0.5 0 0\n" + PLATE;
const Rgb LIT_RED{179, 0, 0}, EDGE_RED{128, 0, 0};
bool not_black(Rgb p) { return p.r + p.g + p.b > 30; }
}  // namespace

// Every drawn pixel is the part's lit face colour or its unlit edge colour; bars have no faces,
// a negative "glLineWidth" no element edges.
TEST_F(GlRender, FacesLitEdgesAndBarsUnlit) {
  struct Row { const char* id; std::string script; Rgb lit, unlit; bool faces, edges; } rows[] = {
      {"red plate", RED_PLATE, LIT_RED, EDGE_RED, true, true},
      {"no element edges", "set glLineWidth -1\n" + RED_PLATE, LIT_RED, EDGE_RED, true, false},
      {"bars", "set rgb 0.5 0.5 0\nline l 4  0 0 0  4 1 0\n", {179, 179, 0}, {128, 128, 0}, false, true},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.id);
    const Picture p = show(r.script);
    const int lit = p.count(r.lit, 4), unlit = p.count(r.unlit, 4);
    EXPECT_EQ(lit, r.faces ? std::max(lit, p.width * p.height / 5) : 0);
    EXPECT_EQ(unlit > 20, r.edges);
    EXPECT_EQ(lit + unlit, p.count_if(not_black));
  }
}

// While a drag moves the view the element edges are left out; on release the picture is whole
// again, pixel for pixel. A held arrow key: the first step draws whole, repeats leave out the
// edges, and once the steps stop the picture is whole again.
TEST_F(GlRender, MotionLeavesOutEdgesUntilItStops) {
  const Picture rest = show(RED_PLATE);
  auto edges = [&] { return win.render().count(EDGE_RED, 4); };
  Fl::e_state = FL_BUTTON1, Fl::e_x = 80, Fl::e_y = 60;
  v.handle(FL_PUSH);
  v.handle(FL_DRAG);  // by nothing: the view stays
  EXPECT_GT(win.render().count(LIT_RED, 4), 1000);
  EXPECT_EQ(edges(), 0);
  Fl::e_state = 0;
  v.handle(FL_RELEASE);
  EXPECT_GT(rest.count(EDGE_RED, 4), 20);
  EXPECT_EQ(win.render().rgb, rest.rgb);
  press(FL_Left, 5, 5);
  EXPECT_GT(edges(), 20);
  press(FL_Left, 5, 5);
  EXPECT_EQ(edges(), 0);
  for (int i = 0; i < 20 && edges() == 0; ++i) Fl::wait(0.05);
  EXPECT_GT(edges(), 20);
}

namespace {
// The first and last drawn column of the picture's middle row.
std::pair<int, int> drawn_span(const Picture& p) {
  int lo = -1, hi = -1;
  for (int x = 0; x < p.width; ++x)
    if (not_black(p.at(x, p.height / 2))) hi = x, lo = lo < 0 ? x : lo;
  return {lo, hi};
}
}  // namespace

// Navigation and view settings on the default yellow plate, one step after another: the wheel
// zooms about the pointer (the plate's right end stays in its column), fit and reset bring
// back the first picture, the triad shows its three colours in its corner, dark edges are
// darker than the faces, the background turns; each toggle undone gives the first picture again.
TEST_F(GlRender, NavigationAndViewSettings) {
  const Picture first = show(PLATE);
  const auto [left0, right0] = drawn_span(first);
  ASSERT_GT(left0, 5);
  ASSERT_LT(right0, first.width - 5);
  const int S = axis_triad_size(v.w(), v.h()) + 4;
  const Rgb YELLOW_LIT{255, 255, 0}, YELLOW_EDGE{255, 204, 0}, YELLOW_DARK{85, 68, 0};
  auto in_corner = [&](const Picture& p, bool (*keep)(Rgb)) {
    int n = 0;
    for (int y = p.height - S; y < p.height; ++y)
      for (int x = 0; x < S; ++x) n += keep(p.at(x, y));
    return n;
  };
  enum Want { SAME, WIDER, NARROWER, CHANGED };
  // `facing`: the plate still faces the light, so its colours are known.
  struct Row { const char* id; std::function<void()> act; Want want; bool right_stays, facing; } rows[] = {
      {"wheel in at the right end", [&] { wheel(-2, right0, v.h() / 2); }, WIDER, true, true},
      {"fit", [&] { press('f', 5, 5, FL_SHIFT); }, SAME, false, true},
      {"wheel out at the right end", [&] { wheel(1, right0, v.h() / 2); }, NARROWER, true, true},
      {"fit from the menu's action", [&] { v.fit(); }, SAME, false, true},
      {"isometric", [&] { press('i', 5, 5); }, CHANGED, false, false},
      {"turned and zoomed", [&] { press(FL_Left, 5, 5), press(FL_Home, 5, 5); }, CHANGED, false, false},
      {"reset", [&] { press('r', 5, 5); }, SAME, false, true},
      {"triad", [&] { press('t', 5, 5); }, CHANGED, false, true},
      {"triad off", [&] { press('t', 5, 5); }, SAME, false, true},
      {"dark edges", [&] { press('e', 5, 5); }, CHANGED, false, true},
      {"dark edges off", [&] { press('e', 5, 5); }, SAME, false, true},
      // a frozen picture keeps its background; the new one shows once the view is live again
      {"frozen", [&] { press('f', 5, 5); }, SAME, false, true},
      {"background while frozen", [&] { press('b', 5, 5); }, SAME, false, true},
      {"live, white", [&] { press('f', 5, 5); }, CHANGED, false, true},
      {"black again", [&] { press('b', 5, 5); }, SAME, false, true},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.id);
    r.act();
    Fl::wait(0.35);  // past the key-repeat gap: the picture is whole
    const Picture p = win.render();
    const auto [left, right] = drawn_span(p);
    EXPECT_EQ(p.rgb == first.rgb, r.want == SAME);
    if (r.want == WIDER) {
      EXPECT_LT(left, left0 - 10);
    } else if (r.want == NARROWER) {
      EXPECT_GT(left, left0 + 5);
    }
    if (r.right_stays) {
      EXPECT_NEAR(right, right0, 1);
    }
    const bool triad = v.settings().triad, dark = v.settings().dark_edges;
    EXPECT_EQ(in_corner(p, [](Rgb c) { return c.r > 200 && c.g < 60 && c.b < 60; }) > 5, triad);
    EXPECT_EQ(in_corner(p, [](Rgb c) { return c.g > 150 && c.r < 60 && c.b < 60; }) > 5, triad);
    EXPECT_EQ(in_corner(p, [](Rgb c) { return c.b > 200 && c.r < 90 && c.g < 150; }) > 5, triad);
    if (!r.facing) continue;
    EXPECT_EQ(p.count(YELLOW_DARK, 4) > 20, dark);
    EXPECT_EQ(p.count(YELLOW_EDGE, 4) > 20, !dark);
    EXPECT_GT(p.count(YELLOW_LIT, 4), 100);
  }
}

// The whole key table, read from itself: every binding is found by its key, Caps and Num Lock
// aside; an action with two keys steps by +1 and -1, and in the viewer one key takes the camera
// the other way from the other and the two together leave it where it was.
TEST_F(GlRender, KeyTableOppositeKeysUndoEachOther) {
  const UserConfig& c = v.config();
  auto camera = [&] {
    const Gl_Projection& p = v.camera().projection();
    std::vector<double> s(v.camera().model_view().begin(), v.camera().model_view().end());
    s.insert(s.end(), {p.left, p.right, p.bottom, p.top, p.near, p.far});
    return s;
  };
  auto moved = [](const std::vector<double>& a, const std::vector<double>& b) {
    double d = 0;
    for (size_t i = 0; i < a.size(); ++i) d = std::max(d, std::fabs(a[i] - b[i]));
    return d;
  };
  std::map<Gl_Action, std::vector<const UserConfig::Key*>> by_action;
  for (const UserConfig::Key& k : c.keys) {
    EXPECT_EQ(c.match_key(k.key, k.state | FL_CAPS_LOCK | FL_NUM_LOCK), &k) << key_binding_name(k.key, k.state);
    by_action[k.action].push_back(&k);
  }
  int pairs = 0;
  for (const auto& [action, keys] : by_action) {
    SCOPED_TRACE(key_binding_name(keys[0]->key, keys[0]->state));
    ASSERT_LE(keys.size(), 2u);
    if (keys.size() == 1) continue;
    ++pairs;
    EXPECT_EQ(keys[0]->step * keys[1]->step, -1);
    v.reset_view();
    const std::vector<double> start = camera();
    press(keys[0]->key, 5, 5, keys[0]->state);
    const std::vector<double> forth = camera();
    press(keys[1]->key, 5, 5, keys[1]->state);
    EXPECT_LT(moved(camera(), start), 1e-9);
    press(keys[1]->key, 5, 5, keys[1]->state);
    EXPECT_EQ(moved(camera(), forth) > 1e-9, moved(forth, start) > 1e-9);  // the other way, if at all
  }
  EXPECT_GT(pairs, 0);
}

// The bindings' window fits its lines and closes by its button; the keyboard, taken by that
// window, comes back to the viewer.
TEST_F(GlRender, HelpWindowClosesAndFocusReturns) {
  Fl::focus(&v);
  v.show_help();
  Fl_Window* help = Fl::first_window();
  while (help && !(help->label() && std::string(help->label()) == "Viewer Interaction")) help = Fl::next_window(help);
  ASSERT_TRUE(help);
  Fl_Browser* lines = nullptr;
  Fl_Button* close = nullptr;
  for (int i = 0; i < help->children(); ++i) {
    if (!lines) lines = dynamic_cast<Fl_Browser*>(help->child(i));
    if (!close) close = dynamic_cast<Fl_Button*>(help->child(i));
  }
  ASSERT_TRUE(lines && close);
  EXPECT_STREQ(close->label(), "Close");
  EXPECT_GE(lines->h(), lines->size() * (lines->textsize() + 2));  // every line without scrolling
  close->take_focus();
  EXPECT_NE(Fl::focus(), &v);
  close->do_callback();
  for (int i = 0; i < 10 && Fl::focus() != &v; ++i) Fl::wait(0.05);
  EXPECT_FALSE(help->visible());
  EXPECT_EQ(Fl::focus(), &v);
}

TEST_F(GlRender, ClippingPlaneRemovesHalfAPlate) {
  Picture p = show("set rgb 0 0 1\n" + PLATE);
  const int half = p.width / 2;  // the plate is centred, x = 1 falls on the middle column
  const int left = p.count({0, 0, 255}, 80, 0, half), right = p.count({0, 0, 255}, 80, half + 2, p.width);
  ASSERT_GT(left, 100);
  ASSERT_GT(right, 100);
  // "Add Plane" starts a plane through the view's centre, normal along x.
  press_in_dialogs("Planes", {{"Add Plane", "Apply && Close"}});
  v.edit_clipping();
  ASSERT_EQ(v.clipping().planes.size(), 1u);
  expect_vec(v.clipping().planes[0].origin, {1, 0.5, 0});
  expect_vec(v.clipping().planes[0].normal, {1, 0, 0});
  p = win.render();
  EXPECT_GT(p.count({0, 0, 255}, 80, 0, half - 2), left * 9 / 10);
  EXPECT_EQ(p.count({0, 0, 255}, 80, half + 2, p.width), 0);
  // Removed, the plane clips no more; the keyboard is the viewer's again.
  Fl::focus(&v);
  press_in_dialogs("Planes", {{"Remove", "Apply && Close"}});
  v.edit_clipping();
  EXPECT_TRUE(v.clipping().planes.empty());
  EXPECT_EQ(Fl::focus(), &v);
  EXPECT_EQ(win.render().count({0, 0, 255}, 80, half + 2, p.width), right);
}

// The lighting editor copies every value into its fields and back: applying it unchanged
// leaves every value of an unused light and the picture as they were; switching lighting off
// there leaves the faces unlit.
TEST_F(GlRender, LightingEditorRoundTrip) {
  const Picture lit = show(RED_PLATE);
  auto values = [](const Gl_LightInfo& l) {
    std::vector<double> all{double(l.enabled), double(l.local), double(l.not_spot), l.cutoff_deg, l.falloff,
                            l.constant_att, l.linear_att, l.quadratic_att};
    for (const float* a : {l.ambient, l.diffuse, l.specular}) all.insert(all.end(), a, a + 4);
    for (const Gl_Vec3& a : {l.position, l.spot_direction}) all.insert(all.end(), a.begin(), a.end());
    return all;
  };
  Gl_LightInfo& spare = v.lighting().lights[5];  // off: the picture does not change
  spare = {false, {1, 2, 3}, {.5f, .25f, .125f, 1}, {.75f, .5f, .25f, 0}, {.1f, .2f, .3f, .4f},
           false, {0, 1, 0}, 30, 5, true, 2, 3, 4};
  const std::vector<double> before = values(spare);
  press_in_dialogs("Lighting", {{"Apply && Close"}});
  v.edit_lighting();
  EXPECT_EQ(values(spare), before);
  EXPECT_EQ(win.render().rgb, lit.rgb);
  press_in_dialogs("Lighting", {{"Enable Lighting", "Apply && Close"}});
  v.edit_lighting();
  const Picture unlit = win.render();
  EXPECT_EQ(unlit.count(LIT_RED, 4), 0);
  EXPECT_GT(unlit.count(EDGE_RED, 4), unlit.width * unlit.height / 5);
}

// Merge links (from each merged point to where it went) and free edges (edges of one face of
// the merged mesh, across parts, at merged positions, with the part of that face) are red,
// over the faces, and only when switched on. A closed model and bars have no free edge.
TEST_F(GlRender, RedLinesOnlyWhenShown) {
  const std::string gap =  // b's left side merges into a's right side
      "set rgb 0 0 1\nset element_type quads\nset tolerance 0.3\nset ptolerance 0.01\n"
      "plate a 1 1  0 0 0  1 0 0  1 1 0  0 1 0\nplate b 1 1  1.2 0 0  2.2 0 0  2.2 1 0  1.2 1 0\n";
  // Per part: the free edges and their smallest x.
  struct Row { const char* id; std::string script; bool merging, free, red; size_t links;
               std::vector<size_t> free_edges; std::vector<float> min_x; } rows[] = {
      {"hidden", gap, false, false, false, 0, {0, 0}, {}},
      {"links", gap, true, false, true, 2, {0, 0}, {}},
      {"free edges", gap, false, true, true, 0, {3, 3}, {0, 1}},
      {"closed box", CLOSED_BOX, false, true, false, 0, {0, 0, 0, 0, 0, 0}, {}},
      {"bars", "line l 4  0 0 0  4 0 0", true, true, false, 0, {0}, {}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.id);
    const Picture p = show(r.script, {.merging = r.merging, .free_edges = r.free});
    EXPECT_GT(p.count_if(not_black), 100);
    EXPECT_EQ(p.count({255, 0, 0}, 4) > 5, r.red);
    ASSERT_EQ(scenes->size(), r.free_edges.size());
    size_t links = 0;
    for (size_t k = 0; k < scenes->size(); ++k) {
      const Grid_Mesh& m = (*scenes)[k].cast<Grid_Scene>()->mesh;
      links += m.links.size() / 6;
      for (size_t j = 0; j < m.links.size(); j += 6) EXPECT_EQ(m.links[j] - m.links[j + 3], 1.2f - 1.0f);
      EXPECT_EQ(m.free_edges.size() / 6, r.free_edges[k]) << "part " << k;
      float lo = 1e9f;
      for (size_t j = 0; j < m.free_edges.size(); j += 3) lo = std::min(lo, m.free_edges[j]);
      EXPECT_EQ(lo, r.min_x.empty() ? lo : r.min_x[k]) << "part " << k;
    }
    EXPECT_EQ(links, r.links);
  }
}

TEST_F(GlRender, PickAndZoomIntoByPointer) {
  show("set color.r 1\nplate a 1 1  0 0 0  1 0 0  1 1 0  0 1 0\nplate b 1 1  3 0 0  4 0 0  4 1 0  3 1 0\n");
  const int W = v.w(), H = v.h();
  EXPECT_EQ(v.pick_pixel(W / 4, H / 2), 1u);
  EXPECT_EQ(v.pick_pixel(W * 3 / 4, H / 2), 2u);
  EXPECT_EQ(v.pick_pixel(W / 2, H / 2), 0u);
  press('z', W * 3 / 4, H / 2);
  EXPECT_NEAR(v.camera().center()[0], 3.5, 1e-9);
  EXPECT_NEAR(v.camera().diameter(), std::sqrt(2.0), 1e-9);
  // A scene that is not a composite: zoom into does nothing.
  v.scene(RC<Gl_Scene>(new Gl_Scene), true);
  press('z', W / 2, H / 2);
  EXPECT_NEAR(v.camera().center()[0], 0, 1e-12);
  EXPECT_NEAR(v.camera().diameter(), 1.73, 1e-12);
}

TEST_F(GlRender, SnapshotHasTheViewsSizeAndIsUpright) {
  ViewerWindow wide(641, 100);
  Fl_Gl_Viewer& v = wide.viewer();
  // A red plate over the upper half of the view only.
  ASSERT_TRUE(run_script_text("set rgb 1 0 0\nset glLineWidth -1\nplate p 1 1  -4 0 0  4 0 0  4 1 0  -4 1 0\n"));
  load_grids(*scenes);
  v.scene(scenes);
  v.camera().center({0, 0, 0});
  v.scale_to(2);
  v.camera().perspective(false);
  static std::string path;  // the chooser's answer
  path = make_temp_dir() + "/v.jpg";
  const std::string dir = path.substr(0, path.size() - 6);
  gChooseFile = [](const char*, const char*, const char*, bool) { return path; };
  v.snapshot();
  gChooseFile = [](const char*, const char*, const char*, bool) { return std::string(); };
  JpegInfo j;
  ASSERT_TRUE(decode_jpeg(path, j));
  EXPECT_EQ(j.width, 641);
  EXPECT_EQ(j.height, 100);
  EXPECT_TRUE(j.progressive);
  auto red = [&](int row) { return j.rgb[3 * (size_t(row) * j.width + 320)] > 200; };
  EXPECT_TRUE(red(25));
  EXPECT_FALSE(red(75));
  CaptureSink sink;
  set_message_sink(&sink);
  EXPECT_FALSE(v.snapshot_to(dir + "/no/such/dir.jpg"));
  set_message_sink(nullptr);
  EXPECT_EQ(sink.alerts(), std::vector<std::string>{"can't open specified file for jpg output"});
}

