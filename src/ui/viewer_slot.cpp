#include "ui/viewer_slot.h"

#include "grid/Grid.h"
#include "ui/Fl_Gl_Viewer.h"
#include "ui/Grid_Scene.h"
#include "ui/pick_tool.h"
#include "ui/quality_view.h"
#include "util/message.h"

#include <string>

namespace {
Fl_Gl_Viewer* view = nullptr;
// The camera frames the model at the first run that shows parts, and again after
// refit_viewer (a newly opened script); later runs keep the user's view.
bool framed = false;
// The Info menu's display switches.
Scene_Options shown;

// Parts shown reduced for lack of memory, collected over one rebuild.
std::string reduced_parts;
void note_status(const std::string& text, void*) { reduced_parts += text + "\n"; }

void rebuild() {
  reduced_parts.clear();
  set_display_status_callback(note_status, nullptr);
  load_grids(shown);
  if (view) pick_parts_loaded();
  reapply_quality_colours();
  if (view && !framed && !Grid::gGrids.empty()) {
    view->autocenter();
    view->autoscale();
    framed = true;
  }
  if (view) view->redraw();
  if (!reduced_parts.empty()) show_text_list(reduced_parts, "Display");
}
}  // namespace

// The viewer shows the composite of part scenes that load_grids fills.
Fl_Widget* make_viewer(int x, int y, int w, int h) {
  view = new Pick_Viewer(x, y, w, h, "GL");
  view->box(FL_DOWN_BOX);
  view->labeltype(FL_NO_LABEL);
  view->scene(Pelgrove_UserInterface::gScenes);
  return view;
}

void show_grids_in_viewer() { rebuild(); }

void refit_viewer() { framed = false; }

void set_show_merging(bool on) {
  shown.merging = on;
  rebuild();
}

void set_show_free_edges(bool on) {
  shown.free_edges = on;
  rebuild();
}
