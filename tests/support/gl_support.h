// Helpers for the viewer tests: a viewer in its own window, its pixels read back and
// counted, grids built by running a script, and JPEG files decoded.
#pragma once

#include "ui/Fl_Gl_Viewer.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class Fl_Window;

struct Rgb {
  int r = 0, g = 0, b = 0;
};

// Pixels as read back: rows from the bottom, `width` padded to 8.
struct Picture {
  int width = 0, height = 0;
  std::vector<unsigned char> rgb;
  Rgb at(int x, int y_from_top) const;
  // Pixels within `tol` of `c` in every channel, optionally only in columns [x0, x1).
  int count(Rgb c, int tol = 3, int x0 = 0, int x1 = -1) const;
  int count_if(const std::function<bool(Rgb)>& keep, int x0 = 0, int x1 = -1) const;
};

// A viewer filling a window of its own, shown on the test display.
class ViewerWindow {
public:
  explicit ViewerWindow(int w = 160, int h = 120);
  ~ViewerWindow();
  Fl_Gl_Viewer& viewer() { return *mViewer; }
  Picture render();

private:
  std::unique_ptr<Fl_Window> mWin;
  Fl_Gl_Viewer* mViewer;
};

// Reads back what the viewer draws now.
Picture render_view(Fl_Gl_Viewer& v);
// The pixel (from the top left, fractional) a model point lands on, through the camera's matrices.
std::array<double, 2> project_to_pixel(Gl_Matrix& cam, const Gl_Vec3& p);

// Expects each component of `got` within `tol` of `want`.
void expect_vec(const Gl_Vec3& got, const Gl_Vec3& want, double tol = 1e-9);

// Presses the buttons labelled by each entry of `dialogs`, in order, in the window titled
// `title` each time it is shown (one question after another): armed before a modal dialog is
// opened, it works the dialog from the event loop. A missing button closes the window
// instead, so the dialog cannot wait for ever. "<Escape>" presses the key, "<close>" the
// window's close box.
void press_in_dialogs(const std::string& title, std::vector<std::vector<std::string>> dialogs);

// Runs `text` as a script (with merging, as the Run menu does); returns whether it succeeded.
bool run_script_text(const std::string& text);
// A closed unit box of six blue 2 x 2 plates, triangulated: every edge has two faces.
extern const char* const CLOSED_BOX;

struct JpegInfo {
  int width = 0, height = 0;
  bool progressive = false;
  std::vector<unsigned char> rgb;  // rows from the top
};
// Decodes a JPEG file; false when it cannot be read.
bool decode_jpeg(const std::string& path, JpegInfo& out);
