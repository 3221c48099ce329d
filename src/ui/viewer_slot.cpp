#include "ui/viewer_slot.h"

#include "ui/Fl_Gl_Viewer.h"
#include "ui/Grid_Scene.h"
#include "util/message.h"

#include <string>

namespace {
Fl_Gl_Viewer* view = nullptr;

// Parts shown reduced for lack of memory, collected over one rebuild.
std::string reduced_parts;
void note_status(const std::string& text, void*) { reduced_parts += text + "\n"; }

void rebuild() {
  reduced_parts.clear();
  set_display_status_callback(note_status, nullptr);
  load_grids();
  if (view) view->redraw();
  if (!reduced_parts.empty()) show_text_list(reduced_parts, "Display");
}
}  // namespace

// The viewer shows the composite of part scenes that load_grids fills.
Fl_Widget* make_viewer(int x, int y, int w, int h) {
  view = new Fl_Gl_Viewer(x, y, w, h, "GL");
  view->box(FL_DOWN_BOX);
  view->labeltype(FL_NO_LABEL);
  view->scene(Pelgrove_UserInterface::gScenes);
  return view;
}

void show_grids_in_viewer() { rebuild(); }

void set_show_merging(bool on) {
  SHOW_MERGINGS = on;
  rebuild();
}
