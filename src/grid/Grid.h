// Grid: grid points, the common base of all parts, and the part registry and naming.
// Every part registers itself in Grid::gGrids (creation order) and lives until the next
// script start destroys all grids. Owns Grid::gGrids; part naming is part_names.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "grid/point_store.h"

struct GridPt {
  double x = 0, y = 0, z = 0;
  int64_t id = 0;                // point number from 1 after renumbering, 0 before
  GridPt* mapped_to = nullptr;   // representative this point was merged into; links never chain
};

// A part's points (big arrays on huge pages, see point_store.h).
using GridPts = std::vector<GridPt, PointStoreAllocator<GridPt>>;

// The effective point: the representative, or the point itself.
inline const GridPt& effective(const GridPt& p) { return p.mapped_to ? *p.mapped_to : p; }
double mapped_dist2(const GridPt& a, const GridPt& b);

class GenericGrid {
public:
  virtual ~GenericGrid() = default;
  virtual int dimension() const = 0;
  virtual int num_grid_points() const = 0;
  virtual GridPt& point(int i) = 0;
  virtual const GridPt& point(int i) const = 0;
  virtual int num_elements() const = 0;
  virtual int element(int i, long* idx) const = 0;
};

class Grid : public GenericGrid {
public:
  explicit Grid(const std::string& name);
  ~Grid() override;
  Grid(const Grid&) = delete;
  Grid& operator=(const Grid&) = delete;

  int num_grid_points() const override { return (int)mPts.size(); }
  GridPt& point(int i) override { return mPts[i]; }
  const GridPt& point(int i) const override { return mPts[i]; }
  // Copies of the effective points of element i; returns the count as element(i, long*).
  virtual int element(int i, GridPt* pts) const = 0;
  using GenericGrid::element;
  virtual void load_params();

  double tolerance() const { return mTolerance; }
  void tolerance(double t) { mTolerance = t; }
  double ptolerance() const { return mPtolerance; }
  void ptolerance(double t) { mPtolerance = t; }
  const std::string& name() const { return mName; }
  // The script place that made the part ("FILE:LINE", with the calls it was reached
  // through), set by the interpreter; empty for parts made outside a script.
  const std::string& place() const { return mPlace; }
  void place(const std::string& p) { mPlace = p; }
  const float* color() const { return mColor; }
  double thickness() const { return mThickness; }  // shell thickness; 0 when not given
  const std::string& material() const { return mMaterial; }
  bool deleted() const { return mDeleted; }
  void set_deleted(bool d) { mDeleted = d; }
  int as_merged_pts(int i, GridPt* out) const;

  // -- registry (Grid::gGrids lives until destroy_grids, called by start_script)
  static std::vector<Grid*> gGrids;
  static std::vector<Grid*>::iterator all_begin() { return gGrids.begin(); }
  static std::vector<Grid*>::iterator all_end() { return gGrids.end(); }
  static void destroy_grids();
  static long grid_point_count();    // points with no mapped_to, over all grids
  static long good_element_count();  // elements of 2 or more points, over all grids
  // Merge reduction of n <= 4 indices into pts; returns 0..4 and may rewrite idx.
  static int fix_merged_indices(int n, long* idx, const GridPts& pts);

  GridPts mPts;

protected:
  bool mDeleted = false;
  std::string mName;
  std::string mPlace;
  double mTolerance = 0;
  double mPtolerance = 0;
  float mColor[4] = {1, 0.8f, 0, 1};
  double mThickness = 0;
  std::string mMaterial;
};

// Numbers every point: representatives 1..n in registry and index order.
void renumber_grid_pts();

