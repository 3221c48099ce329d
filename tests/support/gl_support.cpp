#include "support/gl_support.h"

#include "interp/interp.h"
#include "support/test_support.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Window.H>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>

Rgb Picture::at(int x, int y_from_top) const {
  const size_t k = 3 * (size_t(height - 1 - y_from_top) * width + x);
  return {rgb[k], rgb[k + 1], rgb[k + 2]};
}

int Picture::count(Rgb c, int tol, int x0, int x1) const {
  auto near = [&](Rgb p) { return std::max({std::abs(p.r - c.r), std::abs(p.g - c.g), std::abs(p.b - c.b)}) <= tol; };
  return count_if(near, x0, x1);
}

int Picture::count_if(const std::function<bool(Rgb)>& keep, int x0, int x1) const {
  int n = 0;
  for (int y = 0; y < height; ++y)
    for (int x = x0; x < (x1 < 0 ? width : x1); ++x) n += keep(at(x, y));
  return n;
}

ViewerWindow::ViewerWindow(int w, int h) {
  mWin = std::make_unique<Fl_Window>(w, h);
  mViewer = new Fl_Gl_Viewer(0, 0, w, h);
  mWin->end();
  mWin->show();
  while (!mViewer->shown() || !mViewer->visible()) Fl::wait(0.05);
  Fl::flush();
}

ViewerWindow::~ViewerWindow() {
  mWin->hide();
  Fl::flush();
}

Picture ViewerWindow::render() { return render_view(*mViewer); }

Picture render_view(Fl_Gl_Viewer& v) {
  glBuffer b;
  Picture p;
  if (!v.read_view(b)) return p;
  p.width = b.width, p.height = b.height;
  p.rgb = std::move(b.pixels);
  return p;
}

std::array<double, 2> project_to_pixel(Gl_Matrix& cam, const Gl_Vec3& p) {
  const auto& m = cam.model_view();
  const Gl_Projection& pr = cam.projection();
  double e[3];
  for (int i = 0; i < 3; ++i) e[i] = m[i] * p[0] + m[4 + i] * p[1] + m[8 + i] * p[2] + m[12 + i];
  const double s = pr.perspective ? pr.near / -e[2] : 1;
  return {(e[0] * s - pr.left) / (pr.right - pr.left) * cam.width(),
          (1 - (e[1] * s - pr.bottom) / (pr.top - pr.bottom)) * cam.height()};
}

namespace {
Fl_Button* find_button(Fl_Group* g, const std::string& label) {
  for (int i = 0; i < g->children(); ++i) {
    Fl_Widget* w = g->child(i);
    if (auto* b = dynamic_cast<Fl_Button*>(w); b && b->label() && label == b->label()) return b;
    if (Fl_Group* inner = w->as_group())
      if (Fl_Button* b = find_button(inner, label)) return b;
  }
  return nullptr;
}

struct DialogPresses {
  std::string title;
  std::vector<std::vector<std::string>> dialogs;  // the labels for each showing, in turn
  std::chrono::steady_clock::time_point until;
};

const auto kDialogWait = std::chrono::seconds(10);

// "<Escape>" is the key, delivered as the toolkit delivers a key press; "<close>" the
// window's close box; anything else the button so labelled. False when there is no such button.
bool press(Fl_Window* w, const std::string& label) {
  if (label == "<close>") {
    Fl::handle(FL_CLOSE, w);
    return true;
  }
  if (label == "<Escape>") {
    static char escape[] = "\033";
    Fl::e_keysym = FL_Escape;
    Fl::e_state = 0;
    Fl::e_text = escape;
    Fl::e_length = 1;
    Fl::handle(FL_KEYBOARD, w);
    return true;
  }
  Fl_Button* b = find_button(w, label);
  if (!b) return false;
  if (b->type() == FL_TOGGLE_BUTTON) b->value(!b->value());  // check boxes flip, as a click does
  b->do_callback();
  return true;
}

// An idle callback, not a timeout: a press from a timeout is no event, and the dialog's wait
// would then sleep in select until one came.
void press_when_shown(void* data) {
  auto* job = static_cast<DialogPresses*>(data);
  Fl_Window* w = Fl::first_window();
  while (w && !(w->label() && job->title == w->label())) w = Fl::next_window(w);
  if (!w && std::chrono::steady_clock::now() < job->until) return;
  if (!w) ADD_FAILURE() << "no window '" << job->title << "' was shown";
  for (const std::string& label : job->dialogs.front()) {
    if (!w) break;
    if (!press(w, label)) {
      ADD_FAILURE() << "no button '" << label << "' in " << job->title;
      w->hide();
      break;
    }
  }
  job->dialogs.erase(job->dialogs.begin());
  job->until = std::chrono::steady_clock::now() + kDialogWait;
  if (w && !job->dialogs.empty()) return;  // the next showing gets the next labels
  Fl::remove_idle(press_when_shown, data);
  delete job;
}
}  // namespace

void press_in_dialogs(const std::string& title, std::vector<std::vector<std::string>> dialogs) {
  if (dialogs.empty()) return;
  Fl::add_idle(press_when_shown,
               new DialogPresses{title, std::move(dialogs), std::chrono::steady_clock::now() + kDialogWait});
}

void expect_vec(const Gl_Vec3& got, const Gl_Vec3& want, double tol) {
  for (int k = 0; k < 3; ++k) EXPECT_NEAR(got[k], want[k], tol) << "component " << k;
}

bool run_script_text(const std::string& text) {
  map_builders_once();
  std::string t = text;
  return start_script(t, "test.vmf");
}

const char* const CLOSED_BOX =
    "set rgb 0 0 1\nset element_type tri0\n"
    "plate z0 2 2  0 0 0  0 1 0  1 1 0  1 0 0\nplate z1 2 2  0 0 1  1 0 1  1 1 1  0 1 1\n"
    "plate y0 2 2  0 0 0  1 0 0  1 0 1  0 0 1\nplate y1 2 2  0 1 0  0 1 1  1 1 1  1 1 0\n"
    "plate x0 2 2  0 0 0  0 0 1  0 1 1  0 1 0\nplate x1 2 2  1 0 0  1 1 0  1 1 1  1 0 1\n";

bool decode_jpeg(const std::string& path, JpegInfo& out) {
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return false;
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_decompress(&cinfo);
  jpeg_stdio_src(&cinfo, f);
  jpeg_read_header(&cinfo, TRUE);
  out.progressive = jpeg_has_multiple_scans(&cinfo);
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);
  out.width = cinfo.output_width, out.height = cinfo.output_height;
  out.rgb.resize(size_t(out.width) * out.height * 3);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = &out.rgb[size_t(cinfo.output_scanline) * out.width * 3];
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  fclose(f);
  return true;
}
