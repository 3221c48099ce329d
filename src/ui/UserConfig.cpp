#include "ui/UserConfig.h"

#include "util/atomic_file.h"

#include <FL/Enumerations.H>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

UserConfig::UserConfig() {
  mouse = {
      {GL_ACTION_POPUP, FL_BUTTON3},
      {GL_ACTION_MODEL_ROTATION, FL_BUTTON1},
      {GL_ACTION_CAMERA_PAN, FL_BUTTON1 | FL_SHIFT},
      {GL_ACTION_CAMERA_ROTATION, FL_BUTTON1 | FL_CTRL},
      {GL_ACTION_CAMERA_ZOOM, FL_BUTTON2},
      {GL_ACTION_CAMERA_FOV, FL_BUTTON2 | FL_SHIFT},
      {GL_ACTION_CAMERA_TRUCK, FL_BUTTON2 | FL_CTRL},
  };
  keys = {
      {GL_ACTION_MODEL_ROTATION_LR, FL_Left, 0, -1},
      {GL_ACTION_MODEL_ROTATION_LR, FL_Right, 0, +1},
      {GL_ACTION_MODEL_ROTATION_DU, FL_Up, 0, +1},
      {GL_ACTION_MODEL_ROTATION_DU, FL_Down, 0, -1},
      {GL_ACTION_CAMERA_PAN_LR, FL_KP + '4', 0, -1},
      {GL_ACTION_CAMERA_PAN_LR, FL_KP + '6', 0, +1},
      {GL_ACTION_CAMERA_PAN_DU, FL_KP + '8', 0, +1},
      {GL_ACTION_CAMERA_PAN_DU, FL_KP + '2', 0, -1},
      {GL_ACTION_CAMERA_TRUCK, FL_Insert, 0, +1},
      {GL_ACTION_CAMERA_TRUCK, FL_Delete, 0, -1},
      {GL_ACTION_CAMERA_ZOOM, FL_Home, 0, +1},
      {GL_ACTION_CAMERA_ZOOM, FL_End, 0, -1},
      {GL_ACTION_CAMERA_FOV, FL_Page_Up, 0, +1},
      {GL_ACTION_CAMERA_FOV, FL_Page_Down, 0, -1},
      {GL_ACTION_ZOOM_INTO, 'z', 0, +1},
      {GL_ACTION_BACKGROUND, 'b', 0, +1},
      {GL_ACTION_PICK, 'a', 0, +1},
      {GL_ACTION_FREEZE, 'f', 0, +1},
      // 'f' stays the freeze-frame; fitting takes its shifted form.
      {GL_ACTION_FIT, 'f', FL_SHIFT, +1},
      {GL_ACTION_RESET, 'r', 0, +1},
      {GL_ACTION_VIEW_ISO, 'i', 0, +1},
      {GL_ACTION_DARK_EDGES, 'e', 0, +1},
      {GL_ACTION_TRIAD, 't', 0, +1},
  };
}

int binding_state(int event_state) { return event_state & ~(FL_CAPS_LOCK | FL_NUM_LOCK); }

Gl_Action UserConfig::match_mouse(int state) const {
  const int s = binding_state(state) & (FL_BUTTONS | FL_SHIFT | FL_CTRL | FL_ALT | FL_META);
  for (const Mouse& m : mouse)
    if (m.state == s) return m.action;
  return GL_ACTION_NONE;
}

const UserConfig::Key* UserConfig::match_key(int key, int state) const {
  const int s = binding_state(state) & (FL_SHIFT | FL_CTRL | FL_ALT | FL_META);
  for (const Key& k : keys)
    if (k.key == key && k.state == s) return &k;
  return nullptr;
}

namespace {
std::string modifier_names(int state) {
  std::string s;
  if (state & FL_SHIFT) s += "SHIFT+";
  if (state & FL_CTRL) s += "CTRL+";
  if (state & FL_ALT) s += "ALT+";
  return s;
}

// Names of every binding of `action`, joined by spaces (first the mouse, else the keys).
std::string mouse_names(const UserConfig& c, Gl_Action action) {
  std::string s;
  for (const auto& m : c.mouse)
    if (m.action == action) s += (s.empty() ? "" : " ") + mouse_binding_name(m.state);
  return s.empty() ? "<no mouse>" : s;
}

std::string key_names(const UserConfig& c, std::initializer_list<Gl_Action> actions) {
  std::string s;
  for (Gl_Action a : actions)
    for (const auto& k : c.keys)
      if (k.action == a) s += (s.empty() ? "" : " ") + key_binding_name(k.key, k.state);
  return s.empty() ? "<no keys>" : s;
}
}  // namespace

std::string mouse_binding_name(int state) {
  std::string b = (state & FL_BUTTON1) ? "Left Mouse" : (state & FL_BUTTON2) ? "Middle Mouse"
                : (state & FL_BUTTON3) ? "Right Mouse" : "no button";
  return modifier_names(state) + b;
}

std::string key_binding_name(int key, int state) {
  static const struct {
    int key;
    const char* name;
  } names[] = {{FL_Left, "LeftArrow"},   {FL_Right, "RightArrow"}, {FL_Up, "UpArrow"},
               {FL_Down, "DownArrow"},   {FL_KP + '4', "KP 4"},    {FL_KP + '6', "KP 6"},
               {FL_KP + '8', "KP 8"},    {FL_KP + '2', "KP 2"},    {FL_Insert, "Insert"},
               {FL_Delete, "Delete"},    {FL_Home, "Home"},        {FL_End, "End"},
               {FL_Page_Up, "Page Up"},  {FL_Page_Down, "Page Down"}};
  for (const auto& n : names)
    if (n.key == key) return modifier_names(state) + n.name;
  if (key > ' ' && key < 127) return modifier_names(state) + char(key);
  return modifier_names(state) + "key " + std::to_string(key);
}

std::vector<std::string> viewer_help_lines(const UserConfig& c) {
  std::vector<std::string> l = {"@l@cOpenGL Viewer Interaction", "@_Action  \t@_Mouse    \t@_Keys"};
  auto row = [&](const std::string& head, const std::string& mouse, const std::string& keys,
                 const char* why) {
    l.push_back(head + mouse + "\t" + keys);
    l.push_back(why);
  };
  row("@brotation\t", mouse_names(c, GL_ACTION_MODEL_ROTATION),
      key_names(c, {GL_ACTION_MODEL_ROTATION_LR, GL_ACTION_MODEL_ROTATION_DU}),
      "  ...drag to turn the model, arrows turn it in steps");
  row("@bmove    \t", mouse_names(c, GL_ACTION_CAMERA_PAN),
      key_names(c, {GL_ACTION_CAMERA_PAN_LR, GL_ACTION_CAMERA_PAN_DU}),
      "  ...to move the model across the view");
  row("@bzoom    \t", mouse_names(c, GL_ACTION_CAMERA_ZOOM), key_names(c, {GL_ACTION_CAMERA_ZOOM}),
      "  ...drag up and down to zoom out and in");
  row("@bFOV     \t", mouse_names(c, GL_ACTION_CAMERA_FOV), key_names(c, {GL_ACTION_CAMERA_FOV}),
      "  ...to widen or narrow the field of view");
  row("@bzoom into\t", mouse_names(c, GL_ACTION_ZOOM_INTO), key_names(c, {GL_ACTION_ZOOM_INTO}),
      "  ...to zoom into object under mouse");
  row("@btoggle background\t", mouse_names(c, GL_ACTION_BACKGROUND), key_names(c, {GL_ACTION_BACKGROUND}),
      "  ...to switch the background between black and white");
  row("@bpick object\t", mouse_names(c, GL_ACTION_PICK), key_names(c, {GL_ACTION_PICK}),
      "  ...to select the object under mouse");
  row("@btoggle freeze-frame\t", mouse_names(c, GL_ACTION_FREEZE), key_names(c, {GL_ACTION_FREEZE}),
      "  ...to freeze the picture or let it go");
  row("@bzoom at pointer\t", "Mouse Wheel", "<no keys>",
      "  ...the point under the pointer stays where it is");
  row("@bfit model\t", mouse_names(c, GL_ACTION_FIT), key_names(c, {GL_ACTION_FIT}),
      "  ...to centre the model and scale it to the view");
  row("@breset view\t", mouse_names(c, GL_ACTION_RESET), key_names(c, {GL_ACTION_RESET}),
      "  ...to return to the first view of the model");
  row("@bisometric view\t", mouse_names(c, GL_ACTION_VIEW_ISO), key_names(c, {GL_ACTION_VIEW_ISO}),
      "  ...to look along (-1, -1, -1) with z up");
  row("@bdark edges\t", mouse_names(c, GL_ACTION_DARK_EDGES), key_names(c, {GL_ACTION_DARK_EDGES}),
      "  ...to draw element outlines darker than the faces, or as before");
  row("@baxis triad\t", mouse_names(c, GL_ACTION_TRIAD), key_names(c, {GL_ACTION_TRIAD}),
      "  ...to show or hide the x (red), y (green), z (blue) axes in the corner");
  // The main window's viewer: picking leads back to the script (pick_tool).
  row("@bpick element\t", "CTRL+Left Mouse", key_names(c, {GL_ACTION_PICK}),
      "  ...to name the element under the mouse, its points and its script line below the editor");
  row("@bgo to script line\t", "Double Click", "<no keys>",
      "  ...to pick and put the editor's cursor on the line that made the part");
  // Quality colours (quality_view): keys of the main window's Info > Quality Colours menu.
  row("@bnext worst element\t", "<no mouse>", "n",
      "  ...with quality colours shown: frame the next of the worst elements and name it below the editor");
  row("@bprevious worst element\t", "<no mouse>", "SHIFT+n", "  ...the same, backwards");
  l.push_back("the pop-up menu (right mouse) has the views and switches too; dark edges and the triad are remembered");
  l.push_back("@_@l@cClipping");
  l.push_back("create clipping planes with the pop-up editor");
  l.push_back("drag the viewer's clip-dots to interactively adjust the clipping");
  return l;
}

// -- remembered settings

std::string viewer_settings_path() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && *xdg) return std::string(xdg) + "/pelgrove/viewer";
  const char* home = std::getenv("HOME");
  if (home && *home) return std::string(home) + "/.config/pelgrove/viewer";
  return "";
}

namespace {
struct SettingName {
  const char* name;
  bool ViewerSettings::*field;
};
const SettingName SETTING_NAMES[] = {{"dark_edges", &ViewerSettings::dark_edges},
                                     {"triad", &ViewerSettings::triad}};
}  // namespace

ViewerSettings load_viewer_settings(const std::string& path) {
  ViewerSettings s;
  if (path.empty()) return s;
  std::ifstream f(path);
  for (std::string line; std::getline(f, line);) {
    std::istringstream words(line);
    std::string name;
    int value = 0;
    if (!(words >> name >> value)) continue;  // a broken line spoils only itself
    for (const auto& n : SETTING_NAMES)
      if (name == n.name) s.*n.field = value != 0;
  }
  return s;
}

bool save_viewer_settings(const std::string& path, const ViewerSettings& s) {
  if (path.empty()) return false;
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  std::string text;
  for (const auto& n : SETTING_NAMES) text += std::string(n.name) + (s.*n.field ? " 1\n" : " 0\n");
  Atomic_File f;
  return f.open(path.c_str()) && f.write(text.data(), text.size()) && f.commit();
}
