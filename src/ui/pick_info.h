// pick_info: what lies under a pixel of the viewer and how the user names it. Elements and
// points carry the numbers the mesh writers give them (and the mesh check prints); the ray
// through a pixel is cast on the CPU over the parts' elements with the viewer's camera, so
// all of this runs, and is tested and timed, without a display.
#pragma once

#include "ui/Gl_Matrix.h"
#include "ui/Gl_State.h"

#include <string>
#include <vector>

class Grid;

// A ray in model space. Bars are hit within `spread0 + spread * t` of the ray at distance t.
struct Pick_Ray {
  Gl_Vec3 origin{0, 0, 0}, dir{0, 0, -1};  // dir has unit length
  double spread0 = 0, spread = 0;
};

// The ray through the centre of pixel (px, py) (from the top left) of the camera's view;
// bars count as hit within `radius_px` pixels of it.
Pick_Ray pick_ray(Gl_Matrix& camera, double px, double py, double radius_px = 3);

// An element: part index (into the grids the index was built from) and element index k of
// the part, with its written number and the distance along the ray where it was hit.
struct Pick_Hit {
  int part = -1;
  int k = -1;
  long number = 0;
  double t = 0;
};

// The element and point numbering of a set of merged, renumbered parts, and boxes of runs of
// elements that let a ray skip most of them. Built once after a run; picking is then quick.
class Pick_Index {
public:
  void build(const std::vector<Grid*>& grids);
  void clear() { mParts.clear(), mElements = mPoints = 0; }
  bool empty() const { return mParts.empty(); }
  const Grid& grid(int part) const { return *mParts[part].g; }
  int parts() const { return (int)mParts.size(); }
  long elements() const { return mElements; }  // written elements
  long points() const { return mPoints; }      // numbered points

  // The written number of element k of a part (from 1); 0 when it is not written.
  long element_number(int part, int k) const;
  // The part and element index of written element `number`; false when there is none.
  bool find_element(long number, int& part, int& k) const;
  // The part and point index of the point numbered `number`; false when there is none.
  bool find_point(long number, int& part, int& i) const;

  // The nearest written element the ray meets in a part whose `shown` entry is non-zero (all
  // parts when `shown` is shorter), on the kept side of every clipping plane.
  bool hit(const Pick_Ray& ray, const std::vector<char>& shown, const std::vector<Gl_ClipInfo>& planes,
           Pick_Hit& out) const;

private:
  struct Block {
    int begin, end;  // elements [begin, end)
    Gl_Vec3 lo, hi;  // box of their points, empty (lo > hi) without any
  };
  struct Part {
    const Grid* g;
    long first_element = 0;       // written elements of the parts before
    long written = 0;
    std::vector<int> unwritten;   // element indices that are not written, ascending
    long first_point = 0;         // numbered points of the parts before
    long numbered = 0;
    Gl_Vec3 lo{1, 1, 1}, hi{0, 0, 0};
    std::vector<Block> blocks;
  };
  std::vector<Part> mParts;
  long mElements = 0, mPoints = 0;
  bool hit_part(int part, const Pick_Ray& ray, const std::vector<Gl_ClipInfo>& planes, Pick_Hit& best) const;
};

// What the user is told about an element: its part, the place that made it, its written
// number, and its points' numbers and coordinates.
struct Element_Info {
  std::string part, place;
  long number = 0;
  int n = 0;
  long ids[4] = {0, 0, 0, 0};
  double xyz[4][3] = {};
};
Element_Info element_info(const Grid& g, int k, long number);
// "element 275 (quadrilateral) of 'wing' made at box.vmf:12: points 12 (0, 1, 2) ..."
std::string element_text(const Element_Info& e);
// "point 12 (0, 1, 2) of 'wing' made at box.vmf:12"
std::string point_text(const Grid& g, int i);
// Centre and size of n points (x y z each), for framing them: the size is `scale` times their
// diameter, and never below `least` (a single point).
void frame_points(const double* xyz, int n, double scale, double least, Gl_Vec3& center, double& size);

// The script line a place names: its first "FILE:LINE" (before any bracketed levels), which
// is a line of the script that was run. False when the place names no line.
bool place_line(const std::string& place, std::string& file, int& line);
