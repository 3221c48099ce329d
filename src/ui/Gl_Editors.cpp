// The viewer's modal editors: "Planes" for the clipping planes and "Lighting" for the
// lights. Each copies the state into input fields and writes it back on Apply.
#include "ui/Gl_State.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Float_Input.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Scroll.H>
#include <FL/Fl_Tabs.H>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace {
// What the dialog's buttons asked for; the modal loop reads it. REMOVE + i removes row i.
enum Request : int { APPLY, APPLY_CLOSE, CLOSE, ADD, REMOVE };

struct Dialog {
  std::deque<Request> requests;  // in the order the buttons were pressed
  std::unique_ptr<Fl_Double_Window> win;
  // A button that records `r` and leaves the modal loop's wait.
  Fl_Button* button(int x, int y, int w, const char* label, Request r) {
    Fl_Button* b = new Fl_Button(x, y, w, 25, label);
    b->callback(
        [](Fl_Widget* w, void* d) {
          auto* dlg = static_cast<Dialog*>(w->window()->user_data());
          dlg->requests.push_back(static_cast<Request>(reinterpret_cast<long>(d)));
        },
        reinterpret_cast<void*>(long(r)));
    return b;
  }
  // Runs the window modally until a button asks for something; CLOSE when it is closed.
  // Presses handled by one wait of the event loop are answered one by one.
  Request wait() {
    while (win->shown() && requests.empty()) Fl::wait();
    if (!win->shown()) return CLOSE;
    const Request r = requests.front();
    requests.pop_front();
    return r;
  }
};

std::string num(double v) {
  char b[32];
  snprintf(b, sizeof b, "%g", v);
  return b;
}

double value_of(const Fl_Float_Input* in, double fallback) {
  const char* t = in->value();
  char* end = nullptr;
  const double v = strtod(t, &end);
  return end != t ? v : fallback;
}

// n float inputs in a row after a label box; their values in and out.
struct Row {
  std::vector<Fl_Float_Input*> in;
  Row(int x, int y, const char* label, int n, int lw = 90, int fw = 60) {
    if (label) new Fl_Box(x, y, lw, 25, label);
    for (int k = 0; k < n; ++k) in.push_back(new Fl_Float_Input(x + lw + k * (fw + 5), y, fw, 25));
  }
  template <class T> void set(const T* v) {
    for (size_t k = 0; k < in.size(); ++k) in[k]->value(num(v[k]).c_str());
  }
  template <class T> void get(T* v) const {
    for (size_t k = 0; k < in.size(); ++k) v[k] = T(value_of(in[k], v[k]));
  }
};
}  // namespace

bool fl_edit_gl_clipping(Gl_ClippingState& planes, Fl_Widget* parent, const Gl_Vec3& new_origin) {
  Dialog d;
  d.win.reset(new Fl_Double_Window(540, 300, "Planes"));
  d.win->user_data(&d);
  static const char* heads[6] = {"origin X", "origin Y", "origin Z", "normal X", "normal Y", "normal Z"};
  for (int k = 0; k < 6; ++k) new Fl_Box(20 + k * 72, 5, 70, 20, heads[k]);
  Fl_Scroll* table = new Fl_Scroll(10, 25, 520, 230);
  table->end();
  std::vector<Row> rows;
  Gl_ClippingState edited = planes;
  auto add_row = [&](const Gl_ClipInfo& c) {
    table->begin();
    const int y = table->y() + 5 + 30 * int(rows.size());
    rows.emplace_back(table->x() + 10, y, nullptr, 6, 0, 67);
    d.button(table->x() + 442, y, 65, "Remove", Request(REMOVE + int(rows.size()) - 1));
    table->end();
    double v[6] = {c.origin[0], c.origin[1], c.origin[2], c.normal[0], c.normal[1], c.normal[2]};
    rows.back().set(v);
  };
  // The fields as typed so far, the previous values where a field does not read as a number.
  auto read_rows = [&] {
    edited.planes.resize(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
      Gl_ClipInfo& c = edited.planes[i];
      double v[6] = {c.origin[0], c.origin[1], c.origin[2], c.normal[0], c.normal[1], c.normal[2]};
      rows[i].get(v);
      c.origin = {v[0], v[1], v[2]};
      c.normal = {v[3], v[4], v[5]};
    }
  };
  for (const auto& c : edited.planes) add_row(c);
  d.win->begin();
  Fl_Button* add = d.button(10, 265, 100, "Add Plane", ADD);
  d.button(200, 265, 90, "Apply", APPLY);
  d.button(300, 265, 120, "Apply && Close", APPLY_CLOSE);
  d.button(430, 265, 90, "Close", CLOSE);
  d.win->end();
  d.win->set_modal();
  d.win->show();
  bool applied = false;
  for (;;) {
    if (rows.size() >= (size_t)Gl_ClippingState::MAX_PLANES) add->deactivate();
    else add->activate();
    const Request r = d.wait();
    if (r == CLOSE) break;
    if (r == ADD) {
      Gl_ClipInfo c;
      c.origin = new_origin;
      add_row(c);
      table->redraw();
      continue;
    }
    if (r >= REMOVE) {
      // The rows below move up: rebuild the table without the removed one.
      read_rows();
      const size_t gone = size_t(r - REMOVE);
      if (gone < edited.planes.size()) edited.planes.erase(edited.planes.begin() + long(gone));
      table->clear();
      rows.clear();
      table->scroll_to(0, 0);
      for (const auto& c : edited.planes) add_row(c);
      table->redraw();
      continue;
    }
    read_rows();
    planes = edited;
    applied = true;
    if (parent) parent->redraw();
    if (r == APPLY_CLOSE) break;
  }
  d.win->hide();
  return applied;
}

namespace {
struct LightFields {
  Fl_Check_Button *enabled, *infinite, *spot;
  Row *ambient, *diffuse, *specular, *location, *att, *direction, *cutoff, *falloff;
};
}  // namespace

bool fl_edit_gl_lighting(Gl_LightingState& state, Fl_Widget* parent) {
  Dialog d;
  d.win.reset(new Fl_Double_Window(440, 470, "Lighting"));
  d.win->user_data(&d);
  auto* enable = new Fl_Check_Button(10, 5, 140, 25, "Enable Lighting");
  auto* two = new Fl_Check_Button(150, 5, 110, 25, "Two Sided");
  auto* viewer = new Fl_Check_Button(270, 5, 140, 25, "Infinite Viewer");
  Row global(10, 35, "Global\nAmbient", 4);
  Fl_Tabs* tabs = new Fl_Tabs(10, 75, 420, 350);
  LightFields f[Gl_LightingState::MAX_LIGHTS];
  static const char* names[8] = {"0", "1", "2", "3", "4", "5", "6", "7"};
  for (int i = 0; i < Gl_LightingState::MAX_LIGHTS; ++i) {
    Fl_Group* g = new Fl_Group(10, 100, 420, 325, names[i]);
    LightFields& l = f[i];
    l.enabled = new Fl_Check_Button(20, 105, 100, 25, "Enabled");
    l.ambient = new Row(20, 135, "Ambient", 4);
    l.diffuse = new Row(20, 165, "Diffuse", 4);
    l.specular = new Row(20, 195, "Specular", 4);
    l.location = new Row(20, 225, "Location", 3);
    l.infinite = new Fl_Check_Button(110, 255, 220, 25, "Treat as Infinite Location");
    new Fl_Box(20, 280, 90, 20, "Attenuation");
    for (int k = 0; k < 3; ++k) {
      static const char* att[3] = {"Constant", "Linear", "Quadratic"};
      new Fl_Box(110 + k * 65, 280, 60, 20, att[k]);
    }
    l.att = new Row(20, 300, nullptr, 3);
    l.spot = new Fl_Check_Button(20, 330, 100, 25, "Spot Light");
    l.direction = new Row(20, 355, "Direction", 3);
    l.cutoff = new Row(20, 385, "Cut Off [degrees]", 1, 120);
    l.falloff = new Row(220, 385, "Fall Off [exponent]", 1, 130);
    g->end();
  }
  tabs->end();
  d.button(10, 435, 90, "Apply", APPLY);
  d.button(110, 435, 120, "Apply && Close", APPLY_CLOSE);
  d.button(240, 435, 90, "Close", CLOSE);
  d.win->end();

  enable->value(state.enabled);
  two->value(state.two_sided);
  viewer->value(state.infinite_viewer);
  global.set(state.global_ambient);
  for (int i = 0; i < Gl_LightingState::MAX_LIGHTS; ++i) {
    const Gl_LightInfo& li = state.lights[i];
    LightFields& l = f[i];
    l.enabled->value(li.enabled);
    l.ambient->set(li.ambient);
    l.diffuse->set(li.diffuse);
    l.specular->set(li.specular);
    l.location->set(li.position.data());
    l.infinite->value(!li.local);
    const double att[3] = {li.constant_att, li.linear_att, li.quadratic_att};
    l.att->set(att);
    l.spot->value(!li.not_spot);
    l.direction->set(li.spot_direction.data());
    l.cutoff->set(&li.cutoff_deg);
    l.falloff->set(&li.falloff);
  }
  d.win->set_modal();
  d.win->show();
  bool applied = false;
  for (;;) {
    const Request r = d.wait();
    if (r == CLOSE) break;
    state.enabled = enable->value();
    state.two_sided = two->value();
    state.infinite_viewer = viewer->value();
    global.get(state.global_ambient);
    for (int i = 0; i < Gl_LightingState::MAX_LIGHTS; ++i) {
      Gl_LightInfo& li = state.lights[i];
      LightFields& l = f[i];
      li.enabled = l.enabled->value();
      l.ambient->get(li.ambient);
      l.diffuse->get(li.diffuse);
      l.specular->get(li.specular);
      l.location->get(li.position.data());
      li.local = !l.infinite->value();
      double att[3] = {li.constant_att, li.linear_att, li.quadratic_att};
      l.att->get(att);
      li.constant_att = att[0], li.linear_att = att[1], li.quadratic_att = att[2];
      li.not_spot = !l.spot->value();
      l.direction->get(li.spot_direction.data());
      l.cutoff->get(&li.cutoff_deg);
      l.falloff->get(&li.falloff);
    }
    applied = true;
    if (parent) parent->redraw();
    if (r == APPLY_CLOSE) break;
  }
  for (auto& l : f) {
    for (Row* r : {l.ambient, l.diffuse, l.specular, l.location, l.att, l.direction, l.cutoff, l.falloff})
      delete r;
  }
  d.win->hide();
  return applied;
}
