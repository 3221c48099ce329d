#include "ui/pick_tool.h"

#include "grid/Grid.h"
#include "ui/Fl_Emacs.h"
#include "ui/Grid_Scene.h"
#include "ui/main_window.h"
#include "ui/parts_dialog.h"
#include "ui/pick_info.h"
#include "util/message.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/filename.H>
#include <FL/fl_ask.H>

#include <cerrno>
#include <cstdlib>

using namespace Pelgrove_UserInterface;

namespace {

Pick_Index gIndex;
bool gIndexBuilt = false;

// The status line, with the whole text as its tooltip: four points and their coordinates
// rarely fit under the editor. It is drawn at once, before the viewer's next frame (which
// takes a while on a large model) shows the highlight.
void tell(const std::string& text) {
  set_status(text);
  if (!StatusLine) return;
  StatusLine->copy_tooltip(text.c_str());
  Fl::flush();
}

std::string ask_with_toolkit(const char* prompt) {
  const char* answer = fl_input("%s", "", prompt);
  return answer ? answer : "";
}

Fl_Gl_Viewer* viewer() { return dynamic_cast<Fl_Gl_Viewer*>(GridViewer); }

Grid_Scene* scene_of(int part) {
  if (part < 0 || part >= (int)gScenes->size()) return nullptr;
  return (*gScenes)[part].cast<Grid_Scene>().get();
}

void push3(std::vector<float>& v, const double* x) { v.insert(v.end(), {float(x[0]), float(x[1]), float(x[2])}); }

// Faces and outline of an element, added to a highlight.
void add_element(Grid_Highlight& h, const Element_Info& e, bool faces) {
  for (int j = 0; j < e.n; ++j) {
    if (e.n == 2 && j == 1) break;
    push3(h.lines, e.xyz[j]);
    push3(h.lines, e.xyz[(j + 1) % e.n]);
  }
  if (!faces || e.n < 3) return;
  for (int j : {0, 1, 2}) push3(h.tris, e.xyz[j]);
  if (e.n == 4)
    for (int j : {0, 2, 3}) push3(h.tris, e.xyz[j]);
}

void show_highlight(int part, Grid_Highlight h) {
  for (auto& s : *gScenes)
    if (RC<Grid_Scene> g = s.cast<Grid_Scene>()) g->highlight = Grid_Highlight();
  if (Grid_Scene* s = scene_of(part)) s->highlight = std::move(h);
  if (Fl_Gl_Viewer* v = viewer()) v->redraw();
}

bool part_hidden(int part) {
  const Grid_Scene* s = scene_of(part);
  return s && !s->is_active();
}

std::string hidden_note(int part) { return part_hidden(part) ? "  (its part is hidden: Info > Parts)" : ""; }

// The name the editor's script runs under, as places name it.
std::string script_name() { return file_name.empty() ? "untitled" : fl_filename_name(file_name.c_str()); }

// The editor's cursor and the keyboard focus go to the start of the line. Nothing is
// selected, so what is typed next goes in front of the line and replaces nothing.
void go_to_line(int line) {
  Fl_Text_Buffer* buf = ScriptInput->buffer();
  const int start = buf->skip_lines(0, line - 1);
  buf->unselect();
  ScriptInput->insert_position(start);
  ScriptInput->show_insert_position();
  ScriptInput->take_focus();
}

// A double click: the line of the editor's script that made the part. A part made inside an
// included file or a library function is reached through that line; the status line names
// the inner place too (the editor keeps the script that is run).
void jump_to_place(const Element_Info& e) {
  std::string file;
  int line = 0;
  if (!place_line(e.place, file, line)) {
    tell("part '" + e.part + "' was not made by a script line");
    return;
  }
  if (file != script_name()) {
    tell("part '" + e.part + "' was made at " + e.place + ", not in the script in the editor");
    return;
  }
  go_to_line(line);
  tell("line " + std::to_string(line) + ": " + element_text(e));
}

long parse_number(const std::string& text, bool& ok) {
  errno = 0;
  char* end = nullptr;
  const long n = std::strtol(text.c_str(), &end, 10);
  while (end && (*end == ' ' || *end == '\t')) ++end;
  ok = !text.empty() && end && !*end && errno == 0;
  return n;
}

void frame(const double* xyz, int n) {
  Fl_Gl_Viewer* v = viewer();
  if (!v) return;
  Gl_Vec3 c;
  double size;
  // An element fills about a quarter of the view's width; a lone point gets a hundredth of the model.
  frame_points(xyz, n, 4, 0.01 * gScenes->diameter(), c, size);
  v->center_on(c);
  v->scale_to(size);
}

void ask_and_find(const char* what, bool (*find)(long)) {
  const std::string text = gAskNumber(string_printf("%s number (as the mesh check prints it):", what).c_str());
  if (text.empty()) return;
  bool ok = false;
  const long n = parse_number(text, ok);
  if (!ok) {
    alert("'%s' is not a%s number", text.c_str(), what[0] == 'e' ? "n element" : " point");
    return;
  }
  find(n);
}

}  // namespace

std::string (*gAskNumber)(const char*) = ask_with_toolkit;

const Pick_Index& pick_index() {
  if (!gIndexBuilt) {
    gIndex.build(Grid::gGrids);
    gIndexBuilt = true;
  }
  return gIndex;
}

void clear_pick() { show_highlight(-1, {}); }

bool pick_element_at(int x, int y, bool jump) {
  Fl_Gl_Viewer* v = viewer();
  // A run handles events while it goes: the parts picking knows may be gone already.
  if (!v || run_in_progress()) return false;
  const Pick_Index& index = pick_index();
  std::vector<char> shown;
  for (auto& s : *gScenes) shown.push_back(s->is_active());
  Pick_Hit hit;
  if (!index.hit(pick_ray(v->camera(), x, y), shown, v->clipping().planes, hit)) {
    clear_pick();
    tell("no element under the pointer");
    return false;
  }
  const Element_Info e = element_info(index.grid(hit.part), hit.k, hit.number);
  tell(element_text(e));
  if (jump) jump_to_place(e);
  Grid_Highlight h;
  add_element(h, e, true);
  show_highlight(hit.part, std::move(h));
  return true;
}

namespace {
// "there is no element 12: elements are numbered 1 to 10"
void alert_no_such(const char* what, long number, long count) {
  if (count == 0) alert("there is no %s %ld: the mesh has no %ss", what, number, what);
  else alert("there is no %s %ld: %ss are numbered 1 to %ld", what, number, what, count);
}
}  // namespace

bool find_element(long number) {
  const Pick_Index& index = pick_index();
  int part, k;
  if (!index.find_element(number, part, k)) {
    alert_no_such("element", number, index.elements());
    return false;
  }
  const Element_Info e = element_info(index.grid(part), k, number);
  Grid_Highlight h;
  add_element(h, e, true);
  show_highlight(part, std::move(h));
  frame(&e.xyz[0][0], e.n);
  tell(element_text(e) + hidden_note(part));
  return true;
}

// The point and the outlines of the elements that use it, framed together.
bool find_point(long number) {
  const Pick_Index& index = pick_index();
  int part, i;
  if (!index.find_point(number, part, i)) {
    alert_no_such("point", number, index.points());
    return false;
  }
  const Grid& g = index.grid(part);
  const GridPt& p = g.mPts[i];
  std::vector<double> xyz = {p.x, p.y, p.z};
  Grid_Highlight h;
  push3(h.points, xyz.data());
  long idx[4];
  int uses = 0;
  for (int n = 0; n < index.parts(); ++n) {
    const Grid& other = index.grid(n);
    for (int k = 0; k < other.num_elements(); ++k) {
      const int c = other.element(k, idx);
      bool used = false;
      for (int j = 0; j < c && !used; ++j) used = &effective(other.mPts[idx[j]]) == &p;
      if (c < 2 || !used) continue;
      const Element_Info e = element_info(other, k, 0);
      add_element(h, e, false);
      for (int j = 0; j < e.n; ++j) xyz.insert(xyz.end(), e.xyz[j], e.xyz[j] + 3);
      ++uses;
    }
  }
  show_highlight(part, std::move(h));
  frame(xyz.data(), int(xyz.size() / 3));
  tell(point_text(g, i) + ", in " + std::to_string(uses) + (uses == 1 ? " element" : " elements") +
             hidden_note(part));
  return true;
}

void find_element_cb(Fl_Widget*, void*) { ask_and_find("element", find_element); }
void find_point_cb(Fl_Widget*, void*) { ask_and_find("point", find_point); }

// -- the viewer

// A new display means new parts: their numbering is built now, with the display (a few
// tens of milliseconds for a million elements), so that a click answers at once.
void pick_parts_loaded() {
  gIndex.build(Grid::gGrids);
  gIndexBuilt = true;
  if (StatusLine) StatusLine->tooltip(nullptr);  // the run has said its own
  refresh_parts_dialog();
}

int Pick_Viewer::handle(int event) {
  const int state = Fl::event_state();
  if (event == FL_PUSH && Fl::event_button() == FL_LEFT_MOUSE && !(state & (FL_SHIFT | FL_ALT | FL_META))) {
    const bool twice = Fl::event_clicks() > 0;
    if ((state & FL_CTRL) || twice) {
      Fl_Gl_Viewer::handle(event);  // the focus, as any press
      pick_element_at(Fl::event_x(), Fl::event_y(), twice);
      return 1;
    }
  }
  if (event == FL_KEYBOARD && Fl::focus() == this) {
    const UserConfig::Key* k = config().match_key(Fl::event_key(), state);
    if (k && k->action == GL_ACTION_PICK) {
      pick_element_at(Fl::event_x(), Fl::event_y(), false);
      return 1;
    }
  }
  return Fl_Gl_Viewer::handle(event);
}
