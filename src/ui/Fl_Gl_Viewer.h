// Fl_Gl_Viewer: the 3-D viewing widget. Shows one Gl_Scene through a Gl_Matrix camera
// driven by the bindings of its UserConfig, with a pop-up menu, up to six clipping planes
// and their clip dots, eight lights, picking, a freeze-frame, JPEG snapshots, an axis triad
// and dark element outlines (both remembered in the user's configuration). It knows scenes
// only through Gl_Scene's virtual operations.
#pragma once

#include "ui/Gl_Matrix.h"
#include "ui/Gl_Scene.h"
#include "ui/Gl_State.h"
#include "ui/UserConfig.h"

#include <FL/Fl_Gl_Window.H>

#include <memory>
#include <string>
#include <vector>

class Fl_Widget_Tracker;

class Fl_Gl_Viewer : public Fl_Gl_Window {
public:
  using UserConfig = ::UserConfig;
  // Receives the first selection name of the object picked with the pick key.
  typedef void (*PickCallback)(unsigned name, void* data);

  Fl_Gl_Viewer(int x, int y, int w, int h, const char* label = nullptr);
  ~Fl_Gl_Viewer() override;

  // -- scene and camera
  // Replaces the displayed scene; with `fit` the camera centres on and scales to it.
  void scene(RC<Gl_Scene> s, bool fit = false);
  const RC<Gl_Scene>& scene() const { return mScene; }
  void zoom_into(RC<Gl_Scene> s);  // centre on s and scale to it
  void autocenter();               // scene centre, (0,0,0) without a scene
  void autoscale();                // scene diameter (1 without a scene), fov again, zoom 1
  void scale_to(double d);
  void center_on(const Gl_Vec3& p);
  Gl_Matrix& camera() { return mCamera; }
  UserConfig& config() { return mConfig; }
  Gl_ClippingState& clipping() { return mClipping; }
  Gl_LightingState& lighting() { return mLighting; }
  void pick_callback(PickCallback cb, void* data) { mPickCb = cb, mPickData = data; }
  // Drawn over the scene in window pixels (a legend); null for none.
  typedef void (*OverlayCallback)(Fl_Gl_Viewer& viewer, void* data);
  void overlay_callback(OverlayCallback cb, void* data) { mOverlayCb = cb, mOverlayData = data; }
  bool white_background() const { return mWhite; }
  void toggle_background();
  // -- remembered view settings: with a settings file every change is written to it.
  void settings_file(const std::string& path);  // loads the file's settings now
  const ViewerSettings& settings() const { return mSettings; }
  void settings(const ViewerSettings& s);
  void toggle_dark_edges();
  void toggle_triad();
  // -- pop-up actions
  void view_xy();
  void view_yz();
  void view_zx();
  void view_iso();
  void fit();         // centre on and scale to the scene, keeping the direction of view
  void reset_view();  // the first view: default camera, centred on and scaled to the scene
  // Zooms by `factor` keeping the model point under pixel (px, py) under it.
  void zoom_at_pixel(int px, int py, double factor);
  void edit_clipping();
  void edit_lighting();
  void snapshot();  // asks for a file and writes a JPEG
  bool snapshot_to(const std::string& path);
  void show_help();
  void toggle_freeze();
  bool frozen() const;
  // Renders the current view (or the freeze-frame) and reads it back, width padded to 8.
  bool read_view(glBuffer& out, int components = 3);

  // -- picking: names of the nearest object in a w x h window around (x, y) given in
  // normalised device coordinates; empty when nothing is there.
  std::vector<unsigned> pick_at(double x, double y, double w, double h);
  // The name under pixel (px, py) with the 3-pixel window, or 0.
  unsigned pick_pixel(int px, int py);

  // -- FLTK
  void draw() override;
  int handle(int event) override;
  void resize(int x, int y, int w, int h) override;

  // -- interaction handlers: (x, y) forms get the previous pointer position and read the
  // current one; (n) forms get a signed count of key steps.
  virtual void handle_model_rotation(int x, int y);
  virtual void handle_camera_rotation(int x, int y);
  virtual void handle_camera_pan(int x, int y);
  virtual void handle_camera_truck(int x, int y);
  virtual void handle_camera_zoom(int x, int y);
  virtual void handle_camera_fov(int x, int y);
  virtual void handle_model_rotation_lr(int n);
  virtual void handle_model_rotation_du(int n);
  virtual void handle_camera_rotation_lr(int n);
  virtual void handle_camera_rotation_du(int n);
  virtual void handle_camera_pan_lr(int n);
  virtual void handle_camera_pan_du(int n);
  virtual void handle_camera_truck(int n);
  virtual void handle_camera_zoom(int n);
  virtual void handle_camera_fov(int n);

protected:
  void reinitialize();
  // Makes the viewer's context current, noting a new context and dropping released buffers.
  void prepare_context(bool make_current_now);
  void draw_scene();  // clear, lights, camera, clipping, scene, clip dots
  void draw_clip_dots();
  void render_back_buffer();  // draws into the back buffer and selects it for reading
  bool grab_clip_dot(int x, int y);
  // handle()'s events: a press grabs a clip dot, takes the focus or opens the pop-up menu; a
  // drag moves the grabbed dot or the view; a key runs its action (1 when it had one).
  void handle_push();
  void handle_drag();
  void handle_release();
  int handle_key();
  void popup_menu();
  bool run_action(Gl_Action a, int step);
  void note_step();  // a view-moving key or wheel step: repeats leave out the edges
  void keep_focus_across(Fl_Widget* taker);
  static void regain_focus(void* viewer);

private:
  RC<Gl_Scene> mScene;
  Gl_Matrix mCamera;
  UserConfig mConfig;
  Gl_ClippingState mClipping;
  Gl_LightingState mLighting;
  bool mWhite = false;
  ViewerSettings mSettings;
  std::string mSettingsPath;  // empty: settings are not remembered
  // The window that took the keyboard focus from the viewer; focus comes back when it closes.
  std::unique_ptr<Fl_Widget_Tracker> mFocusTaker;
  std::unique_ptr<glBuffer> mFreezeFrame;  // the picture shown while frozen
  PickCallback mPickCb = nullptr;
  void* mPickData = nullptr;
  OverlayCallback mOverlayCb = nullptr;
  void* mOverlayData = nullptr;
  int mLastX = 0, mLastY = 0;
  int mDragPlane = -1;  // clip dot being dragged
  bool mMoving = false;  // a drag is turning, moving or zooming the view
  bool mKeyMoving = false;  // a held key is: edges come back once it has been let go
  double mLastKeyMove = -1;  // seconds (steady clock) of the last view-moving key
  static void key_settled(void* viewer);
  void* mLastContext = nullptr;
};
