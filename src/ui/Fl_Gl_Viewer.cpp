#include "ui/Fl_Gl_Viewer.h"

#include "ui/Gl_Editors.h"
#include "ui/Gl_Jpeg.h"
#include "ui/Gl_Triad.h"
#include "ui/Gl_State.h"
#include "ui/messages.h"
#include "ui/view_render.h"

#include <FL/Fl.H>
#include <FL/Fl_Browser.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/fl_draw.H>
#include <FL/gl.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>

namespace {

// Steps of a view-moving key closer than this (seconds) count as the key being held.
constexpr double kKeyRepeatGap = 0.3;

enum MenuItem { AUTO_CENTER, AUTO_SCALE, VIEW_XY, VIEW_YZ, VIEW_ZX, CLIPPING, BACKGROUND, LIGHTING,
                JPEG, HELP, FIT, RESET, VIEW_ISO, DARK_EDGES, TRIAD };

void menu_cb(Fl_Widget*, void*) {}

#define ITEM(label, id, flags) {label, 0, menu_cb, reinterpret_cast<void*>(long(id)), flags, 0, 0, 0, 0}
Fl_Menu_Item popup_items[] = {
    ITEM("auto Center", AUTO_CENTER, 0),
    ITEM("auto Scale", AUTO_SCALE, FL_MENU_DIVIDER),
    ITEM("X-Y View", VIEW_XY, 0),
    ITEM("Y-Z View", VIEW_YZ, 0),
    ITEM("Z-X View", VIEW_ZX, 0),
    ITEM("modify clipping", CLIPPING, FL_MENU_DIVIDER),
    ITEM("invert background", BACKGROUND, 0),
    ITEM("modify lighting", LIGHTING, FL_MENU_DIVIDER),
    ITEM("create jpeg...", JPEG, FL_MENU_DIVIDER),
    ITEM("Help", HELP, FL_MENU_DIVIDER),
    ITEM("fit to view", FIT, 0),
    ITEM("reset view", RESET, 0),
    ITEM("Isometric View", VIEW_ISO, FL_MENU_DIVIDER),
    ITEM("dark edges", DARK_EDGES, FL_MENU_TOGGLE),
    ITEM("axis triad", TRIAD, FL_MENU_TOGGLE),
    {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0}};
#undef ITEM

const Gl_Vec3 DIAGONAL{1 / std::sqrt(3.0), 1 / std::sqrt(3.0), 1 / std::sqrt(3.0)};
}  // namespace

Fl_Gl_Viewer::Fl_Gl_Viewer(int x, int y, int w, int h, const char* label)
    : Fl_Gl_Window(x, y, w, h, label) {
  mode(FL_RGB | FL_DOUBLE | FL_DEPTH);
  mCamera.viewport(w, h);
}

Fl_Gl_Viewer::~Fl_Gl_Viewer() {
  Fl::remove_timeout(key_settled, this);
  Fl::remove_check(regain_focus, this);
}

// -- scene and camera

void Fl_Gl_Viewer::scene(RC<Gl_Scene> s, bool fit) {
  mScene = s;
  if (fit) {
    autocenter();
    autoscale();
  }
  redraw();
}

void Fl_Gl_Viewer::zoom_into(RC<Gl_Scene> s) {
  if (!s) return;
  center_on(s->center());
  scale_to(s->diameter());
}

void Fl_Gl_Viewer::autocenter() { center_on(mScene ? mScene->center() : Gl_Vec3{0, 0, 0}); }

void Fl_Gl_Viewer::autoscale() { scale_to(mScene ? mScene->diameter() : 1.0); }

void Fl_Gl_Viewer::scale_to(double d) {
  mCamera.diameter(d);
  mCamera.fov(mCamera.fov());
  mCamera.zoom(1);
  redraw();
}

void Fl_Gl_Viewer::center_on(const Gl_Vec3& p) {
  mCamera.center(p);
  redraw();
}

void Fl_Gl_Viewer::toggle_background() {
  mWhite = !mWhite;
  redraw();
}

void Fl_Gl_Viewer::settings_file(const std::string& path) {
  mSettingsPath = path;
  mSettings = load_viewer_settings(path);
  redraw();
}

void Fl_Gl_Viewer::settings(const ViewerSettings& s) {
  const bool changed = !(s == mSettings);
  mSettings = s;
  if (changed && !mSettingsPath.empty()) save_viewer_settings(mSettingsPath, mSettings);
  redraw();
}

void Fl_Gl_Viewer::toggle_dark_edges() {
  ViewerSettings s = mSettings;
  s.dark_edges = !s.dark_edges;
  settings(s);
}

void Fl_Gl_Viewer::toggle_triad() {
  ViewerSettings s = mSettings;
  s.triad = !s.triad;
  settings(s);
}

void Fl_Gl_Viewer::fit() {
  autocenter();
  autoscale();
}

void Fl_Gl_Viewer::reset_view() {
  mCamera = Gl_Matrix();
  mCamera.viewport(w(), h());
  fit();
}

void Fl_Gl_Viewer::view_iso() {
  mCamera.orientation(iso_orientation());
  redraw();
}

void Fl_Gl_Viewer::zoom_at_pixel(int px, int py, double factor) {
  mCamera.zoom_at((px + 0.5) / std::max(1, w()) - 0.5, 0.5 - (py + 0.5) / std::max(1, h()), factor);
  redraw();
}

void Fl_Gl_Viewer::view_xy() {
  mCamera.orientation(Gl_Quat());
  redraw();
}

void Fl_Gl_Viewer::view_yz() {
  mCamera.orientation(quat_from_axis_angle(DIAGONAL, -120));
  redraw();
}

void Fl_Gl_Viewer::view_zx() {
  mCamera.orientation(quat_from_axis_angle(DIAGONAL, 120));
  redraw();
}

// The modal dialogs give the keyboard back as they close, so the arrow keys turn the view again.
void Fl_Gl_Viewer::edit_clipping() {
  fl_edit_gl_clipping(mClipping, this, mCamera.center());
  take_focus();
}

void Fl_Gl_Viewer::edit_lighting() {
  fl_edit_gl_lighting(mLighting, this);
  take_focus();
}

void Fl_Gl_Viewer::snapshot() {
  const std::string path = gChooseFile("JPEG file name", "*.jpg", nullptr, false);
  if (!path.empty()) snapshot_to(path);
  take_focus();
}

bool Fl_Gl_Viewer::snapshot_to(const std::string& path) {
  if (!shown()) return false;
  render_back_buffer();
  return gl_window_to_jpg(path, w(), h());
}

bool Fl_Gl_Viewer::read_view(glBuffer& out, int components) {
  if (!shown()) return false;
  render_back_buffer();
  return read_gl_pixels(w(), h(), components, out);
}

void Fl_Gl_Viewer::render_back_buffer() {
  prepare_context(true);
  draw();
  glFinish();
  glReadBuffer(GL_BACK);
}

// The help window fits its lines (measured in the browser's font) and has a Close button.
void Fl_Gl_Viewer::show_help() {
  static Fl_Double_Window* win = nullptr;
  static Fl_Browser* browser = nullptr;
  static Fl_Button* close = nullptr;
  static const int widths[] = {200, 180, 0};
  if (!win) {
    win = new Fl_Double_Window(560, 380, "Viewer Interaction");
    browser = new Fl_Browser(0, 0, 560, 345);
    browser->column_widths(widths);
    browser->column_char('\t');
    close = new Fl_Button(470, 350, 80, 25, "Close");
    close->callback([](Fl_Widget* b, void*) { b->window()->hide(); });
    win->resizable(browser);
    win->end();
  }
  browser->clear();
  int text_w = 0, text_h = 0;
  for (const auto& line : viewer_help_lines(mConfig)) {
    browser->add(line.c_str());
    // "@l" lines are set large (24 points), the rest in the browser's size.
    fl_font(browser->textfont(), line.find("@l") != std::string::npos ? 24 : browser->textsize());
    text_h += fl_height() + 2;
    // Columns start at fixed offsets; the last one runs on.
    int x = 0, col = 0;
    size_t from = 0;
    for (;;) {
      const size_t tab = line.find('\t', from);
      const std::string cell = line.substr(from, tab == std::string::npos ? std::string::npos : tab - from);
      const bool last = tab == std::string::npos || !widths[col];
      const int cw = int(fl_width(cell.c_str()));  // format marks such as "@b" stand in for bold
      if (last) {
        text_w = std::max(text_w, x + cw);
        break;
      }
      x += widths[col++], from = tab + 1;
    }
  }
  const int W = std::clamp(text_w + 20 + Fl::scrollbar_size(), 300, Fl::w() - 40);
  const int H = std::clamp(text_h + 10, 150, Fl::h() - 80) + 35;
  win->size(W, H);
  browser->resize(0, 0, W, H - 35);
  close->resize(W - 90, H - 30, 80, 25);
  win->show();
  keep_focus_across(win);
}

bool Fl_Gl_Viewer::frozen() const { return mFreezeFrame != nullptr; }

// The first toggle keeps the current picture; the next lets it go.
void Fl_Gl_Viewer::toggle_freeze() {
  if (mFreezeFrame) {
    mFreezeFrame.reset();
    redraw();
    return;
  }
  if (!shown()) return;
  render_back_buffer();
  auto b = std::make_unique<glBuffer>();
  // Without memory for the copy the view simply stays live.
  if (!read_gl_pixels(w(), h(), 3, *b)) {
    fprintf(stderr, "could not allocate bytes for glBuffer\n");
    return;
  }
  mFreezeFrame = std::move(b);
  redraw();
}

// -- picking

std::vector<unsigned> Fl_Gl_Viewer::pick_at(double x, double y, double pw, double ph) {
  if (!mScene || !shown() || !(pw > 0) || !(ph > 0)) return {};
  prepare_context(true);
  std::vector<GLuint> buf(1 << 16);
  glSelectBuffer(GLsizei(buf.size()), buf.data());
  glRenderMode(GL_SELECT);
  glInitNames();
  // The pick window [x - pw/2, x + pw/2] x [y - ph/2, y + ph/2] fills the view.
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glScaled(2 / pw, 2 / ph, 1);
  glTranslated(-x, -y, 0);
  const Gl_Projection& p = mCamera.projection();
  if (p.perspective) glFrustum(p.left, p.right, p.bottom, p.top, p.near, p.far);
  else glOrtho(p.left, p.right, p.bottom, p.top, p.near, p.far);
  glMatrixMode(GL_MODELVIEW);
  glLoadMatrixf(mCamera.model_view().data());
  apply_clipping(mClipping);
  mScene->draw();
  const GLint hits = glRenderMode(GL_RENDER);
  test4errors("Fl_Gl_Viewer::pick_at()");
  return nearest_hit_names(buf.data(), hits, buf.size());
}

unsigned Fl_Gl_Viewer::pick_pixel(int px, int py) {
  const double W = std::max(1, w()), H = std::max(1, h());
  const auto names = pick_at(2 * px / W - 1, 1 - 2 * py / H, 3 / W, 3 / H);
  return names.empty() ? 0 : names[0];
}

// -- drawing

void Fl_Gl_Viewer::resize(int x, int y, int w, int h) {
  Fl_Gl_Window::resize(x, y, w, h);
  mCamera.viewport(w, h);
  valid(0);
}

void Fl_Gl_Viewer::reinitialize() {
  init_view_state(w(), h());
  mCamera.viewport(w(), h());
  valid(1);
}

void Fl_Gl_Viewer::prepare_context(bool make_current_now) {
  if (make_current_now) make_current();
  if (context() != mLastContext) {
    mLastContext = context();
    gl_new_context_generation();
    valid(0);
  }
  gl_delete_deferred_buffers();
  if (!valid()) reinitialize();
}

void Fl_Gl_Viewer::draw() {
  prepare_context(false);
  if (frozen()) {
    const float c = mWhite ? 1.0f : 0.0f;
    glClearColor(c, c, c, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    for (int i = 0; i < Gl_ClippingState::MAX_PLANES; ++i) glDisable(GL_CLIP_PLANE0 + i);
    glDisable(GL_DEPTH_TEST);
    draw_gl_buffer(*mFreezeFrame);
    glEnable(GL_DEPTH_TEST);
    return;
  }
  draw_scene();
}

void Fl_Gl_Viewer::draw_scene() {
  render_view(mScene.get(), mCamera, mLighting, mClipping, {mWhite, mMoving || mKeyMoving, mSettings.dark_edges});
  draw_clip_dots();
  if (mSettings.triad) draw_axis_triad(mCamera.orientation(), w(), h());
  if (mOverlayCb) mOverlayCb(*this, mOverlayData);
  test4errors("Fl_Gl_Viewer::draw()");
}

// A dot of size 8 at the right edge for each plane within reach of the view.
void Fl_Gl_Viewer::draw_clip_dots() {
  glPushAttrib(GL_ENABLE_BIT | GL_POINT_BIT | GL_CURRENT_BIT);
  for (int i = 0; i < Gl_ClippingState::MAX_PLANES; ++i) glDisable(GL_CLIP_PLANE0 + i);
  glDisable(GL_LIGHTING);
  glDisable(GL_DEPTH_TEST);
  gl_push_overlay_matrices();
  glPointSize(8);
  glBegin(GL_POINTS);
  const int n = std::min<int>(mClipping.planes.size(), Gl_ClippingState::MAX_PLANES);
  for (int i = 0; i < n; ++i) {
    double s;
    if (!clip_dot_height(mClipping.planes[i], mCamera.center(), mCamera.diameter(), s)) continue;
    const auto col = clip_dot_color(i);
    glColor3f(col[0], col[1], col[2]);
    glVertex2d(1 - 8.0 / std::max(1, w()), s);
  }
  glEnd();
  gl_pop_overlay_matrices();
  glPopAttrib();
}

bool Fl_Gl_Viewer::grab_clip_dot(int x, int y) {
  if (x < w() - 5) return false;
  const int n = std::min<int>(mClipping.planes.size(), Gl_ClippingState::MAX_PLANES);
  for (int i = 0; i < n; ++i) {
    double s;
    if (!clip_dot_height(mClipping.planes[i], mCamera.center(), mCamera.diameter(), s)) continue;
    const double dot_y = (1 - s) * 0.5 * h();
    if (std::fabs(y - dot_y) <= 4) {
      mDragPlane = i;
      return true;
    }
  }
  return false;
}

// -- events

void Fl_Gl_Viewer::popup_menu() {
  for (Fl_Menu_Item* i = popup_items; i->label(); ++i) {
    const long id = reinterpret_cast<long>(i->user_data());
    if (id != DARK_EDGES && id != TRIAD) continue;
    if (id == DARK_EDGES ? mSettings.dark_edges : mSettings.triad) i->set();
    else i->clear();
  }
  const Fl_Menu_Item* m = popup_items->popup(Fl::event_x(), Fl::event_y(), "OpenGL Viewer");
  if (!m) return;
  switch (static_cast<MenuItem>(reinterpret_cast<long>(m->user_data()))) {
  case AUTO_CENTER: autocenter(); break;
  case AUTO_SCALE: autoscale(); break;
  case VIEW_XY: view_xy(); break;
  case VIEW_YZ: view_yz(); break;
  case VIEW_ZX: view_zx(); break;
  case CLIPPING: edit_clipping(); break;
  case BACKGROUND: toggle_background(); break;
  case LIGHTING: edit_lighting(); break;
  case JPEG: snapshot(); break;
  case HELP: show_help(); break;
  case FIT: fit(); break;
  case RESET: reset_view(); break;
  case VIEW_ISO: view_iso(); break;
  case DARK_EDGES: toggle_dark_edges(); break;
  case TRIAD: toggle_triad(); break;
  }
}

bool Fl_Gl_Viewer::run_action(Gl_Action a, int step) {
  switch (a) {
  case GL_ACTION_MODEL_ROTATION_LR: handle_model_rotation_lr(step); break;
  case GL_ACTION_MODEL_ROTATION_DU: handle_model_rotation_du(step); break;
  case GL_ACTION_CAMERA_PAN_LR: handle_camera_pan_lr(step); break;
  case GL_ACTION_CAMERA_PAN_DU: handle_camera_pan_du(step); break;
  case GL_ACTION_CAMERA_TRUCK: handle_camera_truck(step); break;
  case GL_ACTION_CAMERA_ZOOM: handle_camera_zoom(step); break;
  case GL_ACTION_CAMERA_FOV: handle_camera_fov(step); break;
  case GL_ACTION_ZOOM_INTO: {
    RC<Gl_Scene_Composite> c = mScene.cast<Gl_Scene_Composite>();
    if (!c) break;
    const unsigned name = pick_pixel(Fl::event_x(), Fl::event_y());
    if (name >= 1 && name <= c->size()) zoom_into((*c)[name - 1]);
    break;
  }
  case GL_ACTION_BACKGROUND: toggle_background(); break;
  case GL_ACTION_PICK: {
    const unsigned name = pick_pixel(Fl::event_x(), Fl::event_y());
    if (!name) break;
    if (mPickCb) mPickCb(name, mPickData);
    else printf(" selected %u\n", name), fflush(stdout);
    break;
  }
  case GL_ACTION_FREEZE: toggle_freeze(); break;
  case GL_ACTION_FIT: fit(); break;
  case GL_ACTION_RESET: reset_view(); break;
  case GL_ACTION_VIEW_ISO: view_iso(); break;
  case GL_ACTION_DARK_EDGES: toggle_dark_edges(); break;
  case GL_ACTION_TRIAD: toggle_triad(); break;
  default: return false;
  }
  redraw();
  return true;
}

void Fl_Gl_Viewer::handle_push() {
  mLastX = Fl::event_x(), mLastY = Fl::event_y();
  mMoving = false;
  if (grab_clip_dot(mLastX, mLastY)) return;
  if (Fl::focus() != this) take_focus();
  if (mConfig.match_mouse(Fl::event_state()) == GL_ACTION_POPUP) popup_menu();
}

void Fl_Gl_Viewer::handle_drag() {
  const int x = Fl::event_x(), y = Fl::event_y();
  if (mDragPlane >= 0 && mDragPlane < (int)mClipping.planes.size()) {
    Gl_ClipInfo& c = mClipping.planes[mDragPlane];
    c.origin = clip_origin_at(c, mCamera.center(), mCamera.diameter(), 1 - 2.0 * y / std::max(1, h()));
    redraw();
    return;
  }
  bool moved = true;
  switch (mConfig.match_mouse(Fl::event_state())) {
  case GL_ACTION_MODEL_ROTATION: handle_model_rotation(mLastX, mLastY); break;
  case GL_ACTION_CAMERA_ROTATION: handle_camera_rotation(mLastX, mLastY); break;
  case GL_ACTION_CAMERA_PAN: handle_camera_pan(mLastX, mLastY); break;
  case GL_ACTION_CAMERA_TRUCK: handle_camera_truck(mLastX, mLastY); break;
  case GL_ACTION_CAMERA_ZOOM: handle_camera_zoom(mLastX, mLastY); break;
  case GL_ACTION_CAMERA_FOV: handle_camera_fov(mLastX, mLastY); break;
  default: moved = false; break;
  }
  mLastX = x, mLastY = y;
  mMoving = mMoving || moved;
  redraw();
}

void Fl_Gl_Viewer::handle_release() {
  mDragPlane = -1;
  if (mMoving) {
    mMoving = false;
    redraw();  // whole again
  }
}

int Fl_Gl_Viewer::handle_key() {
  if (Fl::focus() != this) return 0;
  const UserConfig::Key* k = mConfig.match_key(Fl::event_key(), Fl::event_state());
  if (!k) return 0;
  switch (k->action) {
  case GL_ACTION_MODEL_ROTATION_LR: case GL_ACTION_MODEL_ROTATION_DU: case GL_ACTION_CAMERA_PAN_LR:
  case GL_ACTION_CAMERA_PAN_DU: case GL_ACTION_CAMERA_ZOOM: case GL_ACTION_CAMERA_FOV: note_step(); break;
  default: break;
  }
  return run_action(k->action, k->step) ? 1 : 0;
}

int Fl_Gl_Viewer::handle(int event) {
  switch (event) {
  case FL_PUSH: handle_push(); return 1;
  case FL_DRAG: handle_drag(); return 1;
  case FL_RELEASE: handle_release(); return 1;
  case FL_MOUSEWHEEL:
    if (!Fl::event_dy()) return 0;
    note_step();
    zoom_at_pixel(Fl::event_x(), Fl::event_y(), std::exp2(-Fl::event_dy() * mConfig.wheel_step));
    return 1;
  case FL_UNFOCUS:
    // Focus taken by another window (a dialog): it comes back once that window is gone.
    if (Fl::focus() && Fl::focus()->top_window() != top_window()) keep_focus_across(Fl::focus()->top_window());
    return 1;
  case FL_FOCUS:
  case FL_ENTER:
  case FL_LEAVE:
  case FL_MOVE:
    return 1;
  case FL_KEYBOARD: return handle_key();
  default: return Fl_Gl_Window::handle(event);
  }
}

// A key held down repeats faster than whole frames draw, and wheel notches come in bursts: from
// the second step on the edges are left out, as in a drag, and come back once no step followed
// for a moment.
void Fl_Gl_Viewer::note_step() {
  const double now = std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
  if (mLastKeyMove >= 0 && now - mLastKeyMove < kKeyRepeatGap) mKeyMoving = true;
  mLastKeyMove = now;
  Fl::remove_timeout(key_settled, this);
  if (mKeyMoving) Fl::add_timeout(kKeyRepeatGap, key_settled, this);
}

void Fl_Gl_Viewer::keep_focus_across(Fl_Widget* taker) {
  if (!taker) return;
  mFocusTaker = std::make_unique<Fl_Widget_Tracker>(taker);
  Fl::remove_check(regain_focus, this);
  Fl::add_check(regain_focus, this);
}

// Runs before the event loop waits. While the focus is in another open window the viewer waits
// (following a dialog that opened the next one); once it is back in the viewer's window, or
// nowhere, with that window closed, the viewer takes it. Focus given to another widget of the
// viewer's window while the dialog was still open stays there.
void Fl_Gl_Viewer::regain_focus(void* viewer) {
  Fl_Gl_Viewer* v = static_cast<Fl_Gl_Viewer*>(viewer);
  Fl_Widget* taker = v->mFocusTaker ? v->mFocusTaker->widget() : nullptr;
  const bool closed = !taker || !taker->visible();
  Fl_Widget* f = Fl::focus();
  Fl_Window* fw = f ? f->top_window() : nullptr;
  if (fw && fw != v->top_window() && fw->visible()) {
    if (closed) v->mFocusTaker = std::make_unique<Fl_Widget_Tracker>(fw);
    return;
  }
  if (closed && f != v && v->visible_r()) v->take_focus();
  Fl::remove_check(regain_focus, viewer);
  v->mFocusTaker.reset();
}

void Fl_Gl_Viewer::key_settled(void* viewer) {
  Fl_Gl_Viewer* v = static_cast<Fl_Gl_Viewer*>(viewer);
  v->mKeyMoving = false;
  v->redraw();  // whole again
}

// -- interaction handlers

void Fl_Gl_Viewer::handle_model_rotation(int x, int y) {
  const Gl_Vec3 p1 = trackball_point(x, y, w(), h());
  const Gl_Vec3 p2 = trackball_point(Fl::event_x(), Fl::event_y(), w(), h());
  mCamera.rotate(trackball_rotation(p1, p2));
}

void Fl_Gl_Viewer::handle_camera_rotation(int, int) {}
void Fl_Gl_Viewer::handle_camera_truck(int, int) {}

// The model follows the pointer.
void Fl_Gl_Viewer::handle_camera_pan(int x, int y) {
  mCamera.screen_pan(-double(Fl::event_x() - x) / std::max(1, w()),
                     double(Fl::event_y() - y) / std::max(1, h()));
}

void Fl_Gl_Viewer::handle_camera_zoom(int, int y) {
  mCamera.zoom(mCamera.zoom() * std::exp2((Fl::event_y() - y) * 0.125 * mConfig.zoom_step));
}

void Fl_Gl_Viewer::handle_camera_fov(int, int y) {
  mCamera.fov(mCamera.fov() + (y - Fl::event_y()) * 0.125 * mConfig.fov_step);
}

void Fl_Gl_Viewer::handle_model_rotation_lr(int n) { mCamera.rotate(key_rotation_lr(n, mConfig.rotation_step)); }
void Fl_Gl_Viewer::handle_model_rotation_du(int n) { mCamera.rotate(key_rotation_du(n, mConfig.rotation_step)); }
void Fl_Gl_Viewer::handle_camera_rotation_lr(int) {}
void Fl_Gl_Viewer::handle_camera_rotation_du(int) {}
void Fl_Gl_Viewer::handle_camera_pan_lr(int n) { mCamera.screen_pan(n * mConfig.pan_step, 0); }
void Fl_Gl_Viewer::handle_camera_pan_du(int n) { mCamera.screen_pan(0, n * mConfig.pan_step); }
void Fl_Gl_Viewer::handle_camera_truck(int) {}
void Fl_Gl_Viewer::handle_camera_zoom(int n) { mCamera.zoom(mCamera.zoom() * std::exp2(n * mConfig.zoom_step)); }
void Fl_Gl_Viewer::handle_camera_fov(int n) { mCamera.fov(mCamera.fov() + n * mConfig.fov_step); }
