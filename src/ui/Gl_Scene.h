// Gl_Scene: what the viewer draws. A scene draws itself and reports its centre and
// diameter for centring and scaling; Gl_Scene_Composite holds member scenes and names
// them 1..n for selection-mode picking. Scenes are held by RC handles.
#pragma once

#include "ui/Gl_Matrix.h"
#include "util/RefCounted.h"

#include <vector>

class Gl_Scene {
public:
  Gl_Scene() = default;
  virtual ~Gl_Scene() = default;
  // When active: a unit cube centred on the origin, each face a translucent colour.
  virtual void draw();
  virtual Gl_Vec3 center() const { return {0, 0, 0}; }
  virtual double diameter() const { return 1.73; }
  virtual void activate(bool a) { mActive = a; }
  virtual bool is_active() const { return mActive; }

private:
  bool mActive = true;
};

class Gl_Scene_Composite : public Gl_Scene, public std::vector<RC<Gl_Scene>> {
public:
  // Pushes selection name 0 and loads name i before drawing the i-th active member.
  void draw() override;
  // Mean centre of the active members; (0,0,0) without any.
  Gl_Vec3 center() const override;
  // Twice the largest |c_i - c| + d_i/2 over active members; 1 without any member.
  double diameter() const override;
};

// -- OpenGL objects held by scenes
// The viewer starts a new generation whenever its OpenGL context is created; buffers made
// in an older generation are gone and are made again.
unsigned gl_context_generation();
void gl_new_context_generation();
// Buffers of a scene that went away; deleted when the viewer's context is current again.
void gl_defer_delete_buffers(unsigned generation, const unsigned* names, int n);
void gl_delete_deferred_buffers();
// True while the viewer draws a frame of a mouse drag: scenes may leave out detail (element
// edges) to keep up; the frame drawn when the button is released is whole.
bool gl_view_moving();
void gl_set_view_moving(bool moving);
// True while a viewer with dark edges switched on draws: scenes outline their elements in a
// dark shade of their colour instead of the colour itself. Any renderer sets it the same way.
bool gl_dark_edges();
void gl_set_dark_edges(bool dark);
