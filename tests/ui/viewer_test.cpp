// Viewer rules that need no display: camera clamps and steps, trackball, preset views,
// zoom at the pointer, fit and reset, picking depth, clipping rules, bindings and help text,
// remembered settings, edge colours, composite scenes, RC handles.
#include "support/gl_support.h"
#include "support/test_support.h"
#include "ui/Gl_State.h"
#include "ui/Grid_Scene.h"
#include "ui/edge_runs.h"

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace {
const double D2R = M_PI / 180;

// A member scene with a given centre and diameter.
struct Ball : Gl_Scene {
  Gl_Vec3 c;
  double d;
  Ball(Gl_Vec3 c_, double d_) : c(c_), d(d_) {}
  Gl_Vec3 center() const override { return c; }
  double diameter() const override { return d; }
};
}  // namespace

TEST(Gl_Matrix, ClampsAndModelBounds) {
  // Sets the fov when distance < 0, else the distance.
  struct Row { const char* id; double fov, distance, want_fov, want_distance; } rows[] = {
      {"fov 1 gives 2", 1, -1, 2, 1 / std::tan(1 * D2R)}, {"fov 120 gives 90", 120, -1, 90, 1},
      {"fov 30", 30, -1, 30, 1 / std::tan(15 * D2R)},     {"distance below diameter", 0, 0.5, 90, 1},
      {"distance above 114", 0, 500, 2 * std::atan2(1, 114) / D2R, 114},
      {"distance 2", 0, 2, 2 * std::atan2(1, 2) / D2R, 2},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.id);
    Gl_Matrix m;
    r.distance < 0 ? m.fov(r.fov) : m.distance(r.distance);
    EXPECT_NEAR(m.fov(), r.want_fov, 1e-9);
    EXPECT_NEAR(m.distance(), r.want_distance, 1e-9);
  }
  Gl_Matrix m;
  m.zoom(0), m.zoom(-2), m.diameter(0), m.diameter(-1);  // ignored
  EXPECT_EQ(m.zoom(), 1);
  EXPECT_EQ(m.diameter(), 1);
  m.model_bounds({0, 0, 0}, {3, 4, 0});
  expect_vec(m.center(), {1.5, 2, 0});
  EXPECT_NEAR(m.diameter(), 5, 1e-12);
  EXPECT_NEAR(m.distance(), 5.5, 1e-12);
  m.model_bounds({1, 1, 1}, {1, 1, 1});
  EXPECT_EQ(m.diameter(), 1);
  EXPECT_NEAR(m.distance(), 1.1, 1e-12);
}

TEST(Gl_Matrix, ProjectionWindowAndModelView) {
  // right, top: the window's half sizes before the perspective scaling
  struct Row { const char* id; int w, h; double zoom; bool perspective; double right, top; } rows[] = {
      {"wide", 200, 100, 1, false, 1.0, 0.5},          {"tall", 100, 200, 1, false, 0.5, 1.0},
      {"zoomed square", 100, 100, 2, false, 0.25, 0.25}, {"perspective", 200, 100, 1, true, 1.0, 0.5},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.id);
    Gl_Matrix m;
    m.viewport(r.w, r.h);
    m.zoom(r.zoom);
    m.perspective(r.perspective);
    const Gl_Projection& p = m.projection();
    const double s = r.perspective ? p.near / m.distance() : 1;
    EXPECT_NEAR(p.right, r.right * s, 1e-12);
    EXPECT_NEAR(p.left, -r.right * s, 1e-12);
    EXPECT_NEAR(p.top, r.top * s, 1e-12);
  }
  // At the widest view the distance equals the diameter; the near plane still leaves the depth
  // buffer a usable range, in front of the model.
  Gl_Matrix m;
  m.fov(90);
  const Gl_Projection& p = m.projection();
  EXPECT_GE(p.near, 1e-3 * p.far);
  EXPECT_LT(p.near, m.distance() - 0.5 * m.diameter());
  m.center({1, 2, 3});
  m.orientation(quat_from_axis_angle({0, 0, 1}, 90));
  const auto& mv = m.model_view();
  for (int row = 0; row < 3; ++row)  // the centre lands at (0, 0, -distance) in eye space
    EXPECT_NEAR(mv[row] + mv[4 + row] * 2 + mv[8 + row] * 3 + mv[12 + row], row == 2 ? -m.distance() : 0, 1e-5);
  // Screen x is model y after a quarter turn about z; a pan of 0.5 moves half the view width.
  m.viewport(100, 100);
  m.perspective(false);
  m.screen_pan(0.5, 0);
  expect_vec(m.center(), {1, 2 - 0.5, 3}, 1e-12);
}

TEST(Trackball, PointsRotationsAndPresetViews) {
  expect_vec(trackball_point(50, 50, 100, 100), {0, 0, 1});
  expect_vec(trackball_point(100, 50, 100, 100), {1, 0, 0});  // on the rim
  expect_vec(trackball_point(250, 50, 100, 100), {1, 0, 0});  // outside: onto the rim
  expect_vec(trackball_point(50, 25, 100, 100), {0, 0.5, std::sqrt(0.75)});
  // (p1 x p2, p1 . p2) turns by twice the angle between the points.
  const double t = 10 * D2R;
  const Gl_Quat q = quat_normalized(trackball_rotation({0, 0, 1}, {std::sin(t), 0, std::cos(t)}));
  expect_vec(quat_rotate(q, {0, 0, 1}), {std::sin(2 * t), 0, std::cos(2 * t)});
  // Arrow keys: where (0, 0, 1) goes after one right, two left and one up step of 5 degrees.
  expect_vec(quat_rotate(key_rotation_lr(1, 5), {0, 0, 1}), {std::sin(5 * D2R), 0, std::cos(5 * D2R)});
  expect_vec(quat_rotate(key_rotation_lr(-2, 5), {0, 0, 1}), {-std::sin(10 * D2R), 0, std::cos(10 * D2R)});
  expect_vec(quat_rotate(key_rotation_du(1, 5), {0, 0, 1}), {0, std::sin(5 * D2R), std::cos(5 * D2R)});
  // Preset views: model Y then Z across the screen (Y-Z), model Z then X (Z-X).
  Fl_Gl_Viewer v(0, 0, 100, 100);
  auto across = [&](Gl_Vec3 a) { return quat_rotate(v.camera().orientation(), a); };
  v.view_yz();
  expect_vec(across({0, 1, 0}), {1, 0, 0}), expect_vec(across({0, 0, 1}), {0, 1, 0});
  v.view_zx();
  expect_vec(across({0, 0, 1}), {1, 0, 0}), expect_vec(across({1, 0, 0}), {0, 1, 0});
  v.view_xy();
  expect_vec(across({1, 0, 0}), {1, 0, 0}), expect_vec(across({0, 1, 0}), {0, 1, 0});
}

// Frames to quaternions and back through every branch of the conversion; the isometric view
// looks along (-1, -1, -1) with z up, x to the lower left.
TEST(Gl_Matrix, QuaternionFromRowsAndIsometricView) {
  const std::array<Gl_Vec3, 3> frames[] = {
      {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}},   {{{1, 0, 0}, {0, -1, 0}, {0, 0, -1}}},
      {{{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}}}, {{{-1, 0, 0}, {0, -1, 0}, {0, 0, 1}}}};
  for (const auto& f : frames)
    for (int k = 0; k < 3; ++k)
      expect_vec(quat_rotate(quat_from_rows(f[0], f[1], f[2]), f[k]), {double(k == 0), double(k == 1), double(k == 2)});
  const double c = 1 / std::sqrt(3.0);
  expect_vec(quat_rotate(iso_orientation(), {c, c, c}), {0, 0, 1});
  expect_vec(quat_rotate(iso_orientation(), {0, 0, 1}), {0, std::sqrt(2.0 / 3), c});
  expect_vec(quat_rotate(iso_orientation(), {1, 0, 0}), {-std::sqrt(0.5), -1 / std::sqrt(6.0), c});
}

TEST(Fl_Gl_Viewer, StepsAndAutoscale) {
  Fl_Gl_Viewer v(0, 0, 100, 100);
  v.camera().center({5, 5, 5});
  v.autocenter();
  v.autoscale();
  expect_vec(v.camera().center(), {0, 0, 0});
  EXPECT_EQ(v.camera().diameter(), 1);
  v.handle_camera_zoom(2);
  EXPECT_NEAR(v.camera().zoom(), std::exp2(0.125), 1e-12);
  v.handle_camera_fov(-3);
  EXPECT_NEAR(v.camera().fov(), 15, 1e-12);
  // Mouse forms read the current pointer: dragging down by 8 pixels.
  Fl::e_x = 10, Fl::e_y = 18;
  v.handle_camera_zoom(10, 10);
  EXPECT_NEAR(v.camera().zoom(), std::exp2(0.125 + 8 * 0.125 * 0.0625), 1e-12);
  v.handle_camera_fov(10, 10);
  EXPECT_NEAR(v.camera().fov(), 10, 1e-12);
  // A scene of diameter 4 centred at (1, 0, 0); zoom returns to 1.
  v.scene(RC<Gl_Scene>(new Ball({1, 0, 0}, 4)), true);
  expect_vec(v.camera().center(), {1, 0, 0});
  EXPECT_EQ(v.camera().diameter(), 4);
  EXPECT_EQ(v.camera().zoom(), 1);
  EXPECT_NEAR(v.camera().distance(), 4 / std::tan(5 * D2R), 1e-9);
}

TEST(Picking, NearestRecordWins) {
  struct Row { const char* id; std::vector<uint32_t> buf; int hits; std::vector<unsigned> want; } rows[] = {
      {"one", {1, 100, 200, 7}, 1, {7}},  {"nearer second", {1, 500, 600, 1, 1, 400, 900, 2}, 2, {2}},
      {"two names", {2, 10, 20, 0, 3}, 1, {0, 3}}, {"tie keeps first", {1, 400, 600, 1, 1, 400, 900, 2}, 2, {1}},
      {"at depth 1.0", {1, 0xFFFFFFFFu, 0xFFFFFFFFu, 5}, 1, {}}, {"no hits", {}, 0, {}},
      {"overflowed", {1, 10, 20, 4}, -1, {}}, {"truncated", {3, 10, 20, 4}, 1, {}},
  };
  for (const Row& r : rows) EXPECT_EQ(nearest_hit_names(r.buf.data(), r.hits, r.buf.size()), r.want) << r.id;
}

TEST(Clipping, EquationsDotsAndDrag) {
  Gl_ClipInfo c;
  c.normal = {0, 2, 0}, c.origin = {0, 1, 0};
  EXPECT_EQ(clip_equation(c), (std::array<double, 4>{0, -2, 0, 2}));  // kept: n . (p - o) <= 0
  double s = 0;
  ASSERT_TRUE(clip_dot_height(c, {0, 0, 0}, 4, s));
  EXPECT_DOUBLE_EQ(s, 0.25);
  EXPECT_FALSE(clip_dot_height(c, {0, 0, 0}, 0.5, s));  // |s| = 2: off the view
  c.normal = {0, 0, 0};
  EXPECT_FALSE(clip_dot_height(c, {0, 0, 0}, 4, s));
  c.normal = {0, 0, 3};
  expect_vec(clip_origin_at(c, {1, 1, 1}, 2, -0.5), {1, 1, 0});
  EXPECT_EQ(clip_dot_color(1), (std::array<float, 3>{0, 1, 0}));
  EXPECT_EQ(clip_dot_color(9), (std::array<float, 3>{0.5f, 0.5f, 0}));
}

TEST(UserConfig, BindingsIgnoreCapsAndNumLock) {
  UserConfig c;
  struct Row { int state; Gl_Action want; } mouse[] = {
      {FL_BUTTON1, GL_ACTION_MODEL_ROTATION},          {FL_BUTTON1 | FL_CAPS_LOCK, GL_ACTION_MODEL_ROTATION},
      {FL_BUTTON1 | FL_SHIFT | FL_NUM_LOCK, GL_ACTION_CAMERA_PAN}, {FL_BUTTON2, GL_ACTION_CAMERA_ZOOM},
      {FL_BUTTON2 | FL_SHIFT, GL_ACTION_CAMERA_FOV},   {FL_BUTTON3, GL_ACTION_POPUP},
      {FL_BUTTON1 | FL_ALT, GL_ACTION_NONE},
  };
  for (const Row& r : mouse) EXPECT_EQ(c.match_mouse(r.state), r.want) << "state " << r.state;
  for (int state : {FL_CTRL, FL_ALT}) EXPECT_EQ(c.match_key('z', state), nullptr);
  EXPECT_EQ(c.match_key('q', 0), nullptr);
}

TEST(UserConfig, HelpLinesFollowTheBindings) {
  UserConfig c;
  auto lines = viewer_help_lines(c);
  auto has = [&](const char* l) { return std::find(lines.begin(), lines.end(), l) != lines.end(); };
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[0], "@l@cOpenGL Viewer Interaction");
  EXPECT_EQ(lines[1], "@_Action  \t@_Mouse    \t@_Keys");
  EXPECT_EQ(lines.back(), "drag the viewer's clip-dots to interactively adjust the clipping");
  // a pair of keys, a key with a modifier, a mouse-only action, and a note under its action
  for (const char* want : {"@brotation\tLeft Mouse\tLeftArrow RightArrow UpArrow DownArrow",
                           "@bfit model\t<no mouse>\tSHIFT+f", "@bzoom at pointer\tMouse Wheel\t<no keys>",
                           "  ...to zoom into object under mouse"})
    EXPECT_TRUE(has(want)) << want;
  c.keys[0].state = FL_ALT;  // Left arrow now needs Alt
  lines = viewer_help_lines(c);
  EXPECT_TRUE(has("@brotation\tLeft Mouse\tALT+LeftArrow RightArrow UpArrow DownArrow"));
}

TEST(Gl_Scene_Composite, CenterAndDiameterOfActiveMembers) {
  Gl_Scene_Composite c;
  expect_vec(c.center(), {0, 0, 0});
  EXPECT_EQ(c.diameter(), 1.0);
  c.push_back(RC<Gl_Scene>(new Ball({0, 0, 0}, 2)));
  c.push_back(RC<Gl_Scene>(new Ball({4, 0, 0}, 1)));
  c.push_back(RC<Gl_Scene>(new Ball({100, 0, 0}, 1)));
  c.back()->activate(false);
  expect_vec(c.center(), {2, 0, 0});
  EXPECT_DOUBLE_EQ(c.diameter(), 2 * (2 + 1));  // the first: 2 away, radius 1
  c.activate(false);
  EXPECT_EQ(c.diameter(), 1.0);
  expect_vec(c.center(), {0, 0, 0});
}

TEST(RC, CountsSharedAcrossCopiesAndBases) {
  static int alive = 0;
  struct Counted : Gl_Scene {
    Counted() { ++alive; }
    ~Counted() override { --alive; }
  };
  {
    RC<Counted> a(new Counted);
    RC<Gl_Scene> b = a;
    RC<Counted> c = b.cast<Counted>();
    EXPECT_EQ(c.use_count(), 3);
    EXPECT_FALSE(b.cast<Gl_Scene_Composite>());
    a.reset();
    b = RC<Gl_Scene>();
    EXPECT_EQ(alive, 1);
    EXPECT_EQ(c.use_count(), 1);
  }
  EXPECT_EQ(alive, 0);
  RC<Gl_Scene> empty;
  EXPECT_DEATH(empty->draw(), "mPtr != nullptr");
}

// Settings survive a new viewer through their file; unknown or broken lines keep the defaults;
// without a file nothing is written.
TEST(UserConfig, ViewerSettingsAreRemembered) {
  const std::string dir = make_temp_dir(), path = dir + "/cfg/pelgrove/viewer";
  EXPECT_EQ(load_viewer_settings(path), ViewerSettings{});
  write_file(path, "shade 1\ntriad x\ndark_edges 1\n");
  EXPECT_EQ(load_viewer_settings(path), (ViewerSettings{true, false}));
  std::remove(path.c_str());
  {
    Fl_Gl_Viewer v(0, 0, 100, 100);
    v.toggle_triad();  // no file yet: not remembered
    EXPECT_EQ(read_file(path), "");
    v.settings_file(path);
    EXPECT_FALSE(v.settings().triad);
    v.toggle_dark_edges();
  }
  Fl_Gl_Viewer again(0, 0, 100, 100);
  again.settings_file(path);
  EXPECT_EQ(again.settings(), (ViewerSettings{true, false}));
}

// Outlines keep the part colour unless dark: a third of it, black on a dark part.
TEST(Grid_Scene, EdgeColors) {
  struct Row { const char* id; std::array<float, 4> part; bool dark; std::array<float, 4> want; } rows[] = {
      {"as written", {1, 0.8f, 0, 1}, false, {1, 0.8f, 0, 1}},
      {"dark yellow", {1, 0.75f, 0, 1}, true, {1.0f / 3, 0.25f, 0, 1}},
      {"dark red stays red", {1, 0, 0, 0.5f}, true, {1.0f / 3, 0, 0, 0.5f}},
      {"dark part: black", {0.5f, 0, 0, 1}, true, {0, 0, 0, 1}},
  };
  for (const Row& r : rows) {
    std::array<float, 4> got;
    edge_color(r.part.data(), r.dark, got.data());
    for (int c = 0; c < 4; ++c) EXPECT_FLOAT_EQ(got[c], r.want[c]) << r.id << " channel " << c;
  }
}

// Chains of edges in one direction become one segment each; bends, fold-backs and branches
// stay apart. Points are given as x y (z = 0), three floats each.
TEST(EdgeRuns, CollinearChainsJoin) {
  struct Row { const char* id; std::vector<float> xy; std::vector<uint32_t> edges, want; } rows[] = {
      {"chain of three, any order", {0, 0, 1, 0, 2, 0, 3, 0}, {2, 1, 0, 1, 2, 3}, {3, 0}},
      {"corner", {0, 0, 1, 0, 1, 1}, {0, 1, 1, 2}, {0, 1, 1, 2}},
      {"folds back", {0, 0, 1, 0, 2, 0}, {0, 2, 2, 1}, {0, 2, 2, 1}},
      {"bent by 1e-5", {0, 0, 1, 0, 2, 1e-5f}, {0, 1, 1, 2}, {0, 1, 1, 2}},
      {"cross: two lines", {-1, 0, 0, 0, 1, 0, 0, -1, 0, 1}, {0, 1, 3, 1, 1, 2, 1, 4}, {0, 2, 3, 4}},
      {"2 x 2 grid: six lines", {0, 0, 1, 0, 2, 0, 0, 1, 1, 1, 2, 1, 0, 2, 1, 2, 2, 2},
       {0, 1, 1, 2, 3, 4, 4, 5, 6, 7, 7, 8, 0, 3, 3, 6, 1, 4, 4, 7, 2, 5, 5, 8},
       {0, 2, 3, 5, 6, 8, 0, 6, 1, 7, 2, 8}},
  };
  for (const Row& r : rows) {
    std::vector<float> verts;
    for (size_t k = 0; k < r.xy.size(); k += 2) verts.insert(verts.end(), {r.xy[k], r.xy[k + 1], 0});
    auto ordered = [](std::vector<uint32_t> e) {  // each segment from its lower index
      for (size_t k = 0; k < e.size(); k += 2) e[k] > e[k + 1] ? std::swap(e[k], e[k + 1]) : void();
      return e;
    };
    EXPECT_EQ(ordered(join_collinear_edges(verts, r.edges, 3)), ordered(r.want)) << r.id;
  }
}

TEST(Gl_State, ErrorTexts) {
  EXPECT_EQ(std::string(gl_error_text(0x0501)).rfind("A numeric argument is out of range. The offending", 0), 0u);
  EXPECT_STREQ(gl_error_text(0x1234), "Unknown GL error. \n");
  EXPECT_EQ(padded_width(640), 640);  // 641 -> 648: see the snapshot test
}
