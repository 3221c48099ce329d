#include "ui/Gl_Editors.h"

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
#include <span>
#include <string>
#include <type_traits>
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

namespace {
// The Planes dialog's table: a row of six fields and a Remove button per plane.
class Planes_Table {
public:
  Planes_Table(Dialog& d, const Gl_ClippingState& planes) : mDialog(d), mEdited(planes) {
    static const char* heads[6] = {"origin X", "origin Y", "origin Z", "normal X", "normal Y", "normal Z"};
    for (int k = 0; k < 6; ++k) new Fl_Box(20 + k * 72, 5, 70, 20, heads[k]);
    mTable = new Fl_Scroll(10, 25, 520, 230);
    mTable->end();
    for (const auto& c : mEdited.planes) add_row(c);
  }
  size_t size() const { return mRows.size(); }

  void add_row(const Gl_ClipInfo& c) {
    mTable->begin();
    const int y = mTable->y() + 5 + 30 * int(mRows.size());
    mRows.emplace_back(mTable->x() + 10, y, nullptr, 6, 0, 67);
    mDialog.button(mTable->x() + 442, y, 65, "Remove", Request(REMOVE + int(mRows.size()) - 1));
    mTable->end();
    double v[6] = {c.origin[0], c.origin[1], c.origin[2], c.normal[0], c.normal[1], c.normal[2]};
    mRows.back().set(v);
    mTable->redraw();
  }

  // The rows below move up: the table is rebuilt without the removed one.
  void remove_row(size_t gone) {
    read_rows();
    if (gone < mEdited.planes.size()) mEdited.planes.erase(mEdited.planes.begin() + long(gone));
    mTable->clear();
    mRows.clear();
    mTable->scroll_to(0, 0);
    for (const auto& c : mEdited.planes) add_row(c);
    mTable->redraw();
  }

  // The fields as typed so far, the previous values where a field does not read as a number.
  const Gl_ClippingState& read_rows() {
    mEdited.planes.resize(mRows.size());
    for (size_t i = 0; i < mRows.size(); ++i) {
      Gl_ClipInfo& c = mEdited.planes[i];
      double v[6] = {c.origin[0], c.origin[1], c.origin[2], c.normal[0], c.normal[1], c.normal[2]};
      mRows[i].get(v);
      c.origin = {v[0], v[1], v[2]};
      c.normal = {v[3], v[4], v[5]};
    }
    return mEdited;
  }

private:
  Dialog& mDialog;
  Fl_Scroll* mTable = nullptr;
  std::vector<Row> mRows;
  Gl_ClippingState mEdited;
};
}  // namespace

bool fl_edit_gl_clipping(Gl_ClippingState& planes, Fl_Widget* parent, const Gl_Vec3& new_origin) {
  Dialog d;
  d.win.reset(new Fl_Double_Window(540, 300, "Planes"));
  d.win->user_data(&d);
  Planes_Table table(d, planes);
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
    if (table.size() >= (size_t)Gl_ClippingState::MAX_PLANES) add->deactivate();
    else add->activate();
    const Request r = d.wait();
    if (r == CLOSE) break;
    if (r == ADD) {
      Gl_ClipInfo c;
      c.origin = new_origin;
      table.add_row(c);
    } else if (r >= REMOVE) {
      table.remove_row(size_t(r - REMOVE));
    } else {
      planes = table.read_rows();
      applied = true;
      if (parent) parent->redraw();
      if (r == APPLY_CLOSE) break;
    }
  }
  d.win->hide();
  return applied;
}

namespace {
// One editable value of the lighting, S being the whole state or one light: a check button
// (n == 0) or a row of n number fields. The value passes through doubles both ways.
template <class S> struct Field {
  const char* label;
  int x, y, w;  // w: a check button's width, else the row label's
  int n;
  void (*load)(const S&, double* v);
  void (*store)(S&, const double* v);
};

template <auto M> void get_all(const auto& s, double* v) {
  const auto& a = s.*M;
  for (size_t k = 0; k < std::size(a); ++k) v[k] = double(a[k]);
}
template <auto M> void put_all(auto& s, const double* v) {
  auto& a = s.*M;
  for (size_t k = 0; k < std::size(a); ++k) a[k] = std::remove_reference_t<decltype(a[0])>(v[k]);
}
template <auto M> void get_one(const auto& s, double* v) { v[0] = double(s.*M); }
template <auto M> void put_one(auto& s, const double* v) { s.*M = v[0]; }
template <auto M> void get_off(const auto& s, double* v) { v[0] = !(s.*M); }  // shown inverted
template <auto M> void put_off(auto& s, const double* v) { s.*M = !v[0]; }
template <auto M> void get_flag(const auto& s, double* v) { v[0] = s.*M; }
template <auto M> void put_flag(auto& s, const double* v) { s.*M = v[0] != 0; }

#define ALL(S, m) get_all<&S::m>, put_all<&S::m>
#define ONE(S, m) get_one<&S::m>, put_one<&S::m>
#define FLAG(S, m) get_flag<&S::m>, put_flag<&S::m>
#define OFF(S, m) get_off<&S::m>, put_off<&S::m>
using Lights = Gl_LightingState;
using Light = Gl_LightInfo;
const Field<Lights> kLightingFields[] = {
    {"Enable Lighting", 10, 5, 140, 0, FLAG(Lights, enabled)},
    {"Two Sided", 150, 5, 110, 0, FLAG(Lights, two_sided)},
    {"Infinite Viewer", 270, 5, 140, 0, FLAG(Lights, infinite_viewer)},
    {"Global\nAmbient", 10, 35, 90, 4, ALL(Lights, global_ambient)},
};
const Field<Light> kLightFields[] = {
    {"Enabled", 20, 105, 100, 0, FLAG(Light, enabled)},
    {"Ambient", 20, 135, 90, 4, ALL(Light, ambient)},
    {"Diffuse", 20, 165, 90, 4, ALL(Light, diffuse)},
    {"Specular", 20, 195, 90, 4, ALL(Light, specular)},
    {"Location", 20, 225, 90, 3, ALL(Light, position)},
    {"Treat as Infinite Location", 110, 255, 220, 0, OFF(Light, local)},
    {nullptr, 20, 300, 90, 3,  // under the attenuation heads
     [](const Light& l, double* v) { v[0] = l.constant_att, v[1] = l.linear_att, v[2] = l.quadratic_att; },
     [](Light& l, const double* v) { l.constant_att = v[0], l.linear_att = v[1], l.quadratic_att = v[2]; }},
    {"Spot Light", 20, 330, 100, 0, OFF(Light, not_spot)},
    {"Direction", 20, 355, 90, 3, ALL(Light, spot_direction)},
    {"Cut Off [degrees]", 20, 385, 120, 1, ONE(Light, cutoff_deg)},
    {"Fall Off [exponent]", 220, 385, 130, 1, ONE(Light, falloff)},
};
#undef ALL
#undef ONE
#undef FLAG
#undef OFF

// The widgets of one field table, made in the open group.
struct Field_Widgets {
  std::vector<Fl_Check_Button*> checks;
  std::vector<std::unique_ptr<Row>> rows;

  template <class S> explicit Field_Widgets(std::span<const Field<S>> table) {
    for (const Field<S>& f : table) {
      checks.push_back(f.n ? nullptr : new Fl_Check_Button(f.x, f.y, f.w, 25, f.label));
      rows.emplace_back(f.n ? new Row(f.x, f.y, f.label, f.n, f.w) : nullptr);
    }
  }
  template <class S> void load(std::span<const Field<S>> table, const S& s) {
    for (size_t i = 0; i < table.size(); ++i) {
      double v[4];
      table[i].load(s, v);
      if (checks[i]) checks[i]->value(v[0] != 0);
      else rows[i]->set(v);
    }
  }
  // A field that does not read as a number keeps its value.
  template <class S> void store(std::span<const Field<S>> table, S& s) const {
    for (size_t i = 0; i < table.size(); ++i) {
      double v[4];
      table[i].load(s, v);
      if (checks[i]) v[0] = checks[i]->value();
      else rows[i]->get(v);
      table[i].store(s, v);
    }
  }
};
}  // namespace

bool fl_edit_gl_lighting(Gl_LightingState& state, Fl_Widget* parent) {
  Dialog d;
  d.win.reset(new Fl_Double_Window(440, 470, "Lighting"));
  d.win->user_data(&d);
  const std::span<const Field<Lights>> top = kLightingFields;
  const std::span<const Field<Light>> each = kLightFields;
  Field_Widgets global(top);
  Fl_Tabs* tabs = new Fl_Tabs(10, 75, 420, 350);
  std::vector<Field_Widgets> lights;
  static const char* names[8] = {"0", "1", "2", "3", "4", "5", "6", "7"};
  for (int i = 0; i < Gl_LightingState::MAX_LIGHTS; ++i) {
    Fl_Group* g = new Fl_Group(10, 100, 420, 325, names[i]);
    new Fl_Box(20, 280, 90, 20, "Attenuation");
    static const char* att[3] = {"Constant", "Linear", "Quadratic"};
    for (int k = 0; k < 3; ++k) new Fl_Box(110 + k * 65, 280, 60, 20, att[k]);
    lights.emplace_back(each);
    g->end();
  }
  tabs->end();
  d.button(10, 435, 90, "Apply", APPLY);
  d.button(110, 435, 120, "Apply && Close", APPLY_CLOSE);
  d.button(240, 435, 90, "Close", CLOSE);
  d.win->end();

  global.load(top, state);
  for (int i = 0; i < Gl_LightingState::MAX_LIGHTS; ++i) lights[i].load(each, state.lights[i]);
  d.win->set_modal();
  d.win->show();
  bool applied = false;
  for (;;) {
    const Request r = d.wait();
    if (r == CLOSE) break;
    global.store(top, state);
    for (int i = 0; i < Gl_LightingState::MAX_LIGHTS; ++i) lights[i].store(each, state.lights[i]);
    applied = true;
    if (parent) parent->redraw();
    if (r == APPLY_CLOSE) break;
  }
  d.win->hide();
  return applied;
}
