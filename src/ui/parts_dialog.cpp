#include "ui/parts_dialog.h"

#include "grid/Grid.h"
#include "ui/Grid_Scene.h"
#include "ui/main_window.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Scroll.H>

#include <algorithm>
#include <map>

namespace {

Fl_Double_Window* win = nullptr;
Fl_Scroll* rows_group = nullptr;
std::vector<std::string> row_names;  // the check boxes' names, by index

constexpr int kWidth = 380, kRow = 24, kButtons = 34;

void toggle_cb(Fl_Widget* w, void* index) {
  const size_t i = reinterpret_cast<size_t>(index);
  if (i < row_names.size()) set_part_shown(row_names[i], static_cast<Fl_Check_Button*>(w)->value() != 0);
}

// Also names hidden in earlier runs that this one did not make.
void show_all_cb(Fl_Widget*, void*) {
  for (const std::string& name : row_names) set_part_shown(name, true);
  gHiddenParts.clear();
  refresh_parts_dialog();
}

void close_cb(Fl_Widget*, void*) { win->hide(); }

uchar channel(float c) { return uchar(std::clamp(c, 0.0f, 1.0f) * 255 + 0.5f); }

void fill_rows() {
  rows_group->clear();
  rows_group->begin();
  row_names.clear();
  const int x = rows_group->x(), y = rows_group->y();
  const std::vector<Part_Row> rows = part_rows();
  for (size_t i = 0; i < rows.size(); ++i) {
    const Part_Row& r = rows[i];
    const int top = y + 4 + int(i) * kRow;
    auto* check = new Fl_Check_Button(x + 8, top, 210, kRow - 2);
    check->copy_label(r.name.c_str());
    check->value(r.shown);
    check->callback(toggle_cb, reinterpret_cast<void*>(i));
    auto* swatch = new Fl_Box(x + 224, top + 3, 18, kRow - 8);
    swatch->box(FL_BORDER_BOX);
    swatch->color(fl_rgb_color(channel(r.color[0]), channel(r.color[1]), channel(r.color[2])));
    auto* count = new Fl_Box(x + 250, top, kWidth - 270, kRow - 2);
    count->copy_label((std::to_string(r.elements) + (r.elements == 1 ? " element" : " elements")).c_str());
    count->align(FL_ALIGN_INSIDE | FL_ALIGN_RIGHT);
    row_names.push_back(r.name);
  }
  rows_group->end();
  // As tall as its rows, within reason; the buttons keep to the bottom.
  const int want = std::clamp(int(rows.size()) * kRow + 8 + kButtons, 120, 560);
  if (win->h() != want) win->size(win->w(), want);
  rows_group->scroll_to(0, 0);
  rows_group->redraw();
}

}  // namespace

std::vector<Part_Row> part_rows() {
  std::vector<Part_Row> rows;
  std::map<std::string, size_t> at;
  long idx[4];
  for (const Grid* g : Grid::gGrids) {
    auto [it, added] = at.emplace(g->name(), rows.size());
    if (added) {
      Part_Row r;
      r.name = g->name();
      std::copy(g->color(), g->color() + 4, r.color);
      r.shown = !gHiddenParts.count(r.name);
      rows.push_back(r);
    }
    Part_Row& r = rows[it->second];
    for (int k = 0; k < g->num_elements(); ++k)
      if (g->element(k, idx) >= 2) ++r.elements;
  }
  return rows;
}

void set_part_shown(const std::string& name, bool shown) {
  using namespace Pelgrove_UserInterface;
  if (shown) gHiddenParts.erase(name);
  else gHiddenParts.insert(name);
  Gl_Scene_Composite& scenes = *gScenes;
  for (size_t k = 0; k < scenes.size() && k < Grid::gGrids.size(); ++k)
    if (Grid::gGrids[k]->name() == name) scenes[k]->activate(shown);
  if (GridViewer) GridViewer->redraw();
}

Fl_Window* show_parts_dialog() {
  if (!win) {
    win = new Fl_Double_Window(kWidth, 320, "Parts");
    rows_group = new Fl_Scroll(0, 0, kWidth, 320 - kButtons);
    rows_group->type(Fl_Scroll::VERTICAL);
    rows_group->end();
    auto* all = new Fl_Button(kWidth - 190, 320 - kButtons + 5, 90, 24, "Show All");
    all->callback(show_all_cb);
    auto* close = new Fl_Button(kWidth - 95, 320 - kButtons + 5, 85, 24, "Close");
    close->callback(close_cb);
    win->resizable(rows_group);
    win->end();
    if (Pelgrove_UserInterface::PelgroveWindow) win->hotspot(Pelgrove_UserInterface::PelgroveWindow);
  }
  fill_rows();
  win->show();
  return win;
}

void refresh_parts_dialog() {
  if (win && win->shown()) fill_rows();
}

void parts_cb(Fl_Widget*, void*) { show_parts_dialog(); }
