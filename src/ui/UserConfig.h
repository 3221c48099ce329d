// UserConfig: the viewer's bindings of mouse buttons and keys to actions, with the step
// sizes of key presses, and the "Viewer Interaction" help text built from them; and the view
// settings the viewer keeps in the user's configuration between sessions. Plain data and
// lookups over FLTK's event-state bits; no widget is needed to test them.
#pragma once

#include <string>
#include <vector>

enum Gl_Action {
  GL_ACTION_NONE,
  GL_ACTION_POPUP,
  GL_ACTION_MODEL_ROTATION,   // mouse drag; keys: left/right and up/down step forms
  GL_ACTION_MODEL_ROTATION_LR,
  GL_ACTION_MODEL_ROTATION_DU,
  GL_ACTION_CAMERA_ROTATION,  // held in the configuration; does nothing
  GL_ACTION_CAMERA_PAN,
  GL_ACTION_CAMERA_PAN_LR,
  GL_ACTION_CAMERA_PAN_DU,
  GL_ACTION_CAMERA_TRUCK,     // held in the configuration; does nothing
  GL_ACTION_CAMERA_ZOOM,
  GL_ACTION_CAMERA_FOV,
  GL_ACTION_ZOOM_INTO,
  GL_ACTION_BACKGROUND,
  GL_ACTION_PICK,
  GL_ACTION_FREEZE,
  GL_ACTION_FIT,         // centre and scale to the model, keeping the direction of view
  GL_ACTION_RESET,       // back to the first view
  GL_ACTION_VIEW_ISO,    // isometric preset
  GL_ACTION_DARK_EDGES,  // toggle element outlines in a dark shade
  GL_ACTION_TRIAD,       // toggle the axis triad
};

struct UserConfig {
  // A mouse binding matches the buttons-and-modifiers state exactly (Caps/Num Lock aside).
  struct Mouse {
    Gl_Action action;
    int state;  // FL_BUTTON1..3 | FL_SHIFT | FL_CTRL | FL_ALT
  };
  // A key binding sends `step` (+1 or -1) to its action's step handler.
  struct Key {
    Gl_Action action;
    int key;    // FLTK key code
    int state;  // modifiers
    int step;
  };
  std::vector<Mouse> mouse;
  std::vector<Key> keys;
  double rotation_step = 5;   // degrees per key press
  double zoom_step = 0.0625;  // binary exponent per key press
  double fov_step = 5;        // degrees per key press
  double pan_step = 0.025;    // fraction of the view per key press
  double wheel_step = 0.25;   // binary exponent of zoom per wheel notch

  UserConfig();  // the default bindings

  // The action bound to a drag or press in `state`; GL_ACTION_NONE when unbound.
  Gl_Action match_mouse(int state) const;
  // The key binding for `key` pressed in `state`, or null.
  const Key* match_key(int key, int state) const;
};

// Caps Lock and Num Lock never take part in a comparison.
int binding_state(int event_state);
// "SHIFT+Left Mouse", "KP 4", "z", ...
std::string mouse_binding_name(int state);
std::string key_binding_name(int key, int state);
// The lines of the "Viewer Interaction" window, in browser format.
std::vector<std::string> viewer_help_lines(const UserConfig& c);

// View settings remembered between sessions. The defaults are the written drawing.
struct ViewerSettings {
  bool dark_edges = false;  // element outlines in a dark shade of the part colour
  bool triad = false;       // the axis triad in the lower-left corner
  bool operator==(const ViewerSettings&) const = default;
};
// $XDG_CONFIG_HOME/pelgrove/viewer, else $HOME/.config/pelgrove/viewer; empty without either.
std::string viewer_settings_path();
// Lines "name 0|1"; unknown names and a missing or unreadable file leave the defaults.
ViewerSettings load_viewer_settings(const std::string& path);
// Writes the file whole, making its directory; false when it cannot.
bool save_viewer_settings(const std::string& path, const ViewerSettings& s);
