// PtMerger: joins coincident points of all parts into representatives after every run.
// Each point ends either a representative (mapped_to null) or linked directly to one.
// A merger files points by the cells of a box (at most 20 per axis) that fix the order in
// which candidates are preferred, and finds them through hashed cells sized from the
// tolerance, so a lookup costs the same however the points crowd the box's cells.
#pragma once

#include "grid/Grid.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// Sets every mapped_to of every part in Grid::gGrids.
void merge_grid_pts();
// Component-wise bounds of all points of all parts (zero when there are none).
void grid_range(GridPt& lo, GridPt& hi);

// Nearest-point search over the points filed so far; never owns them.
class PtMerger {
public:
  // Box cells: D/20 nominal size (D the box diagonal), at most 20 per axis; a box of zero
  // extent is one cell.
  PtMerger(const GridPt& lo, const GridPt& hi);
  PtMerger(const PtMerger&) = delete;
  PtMerger& operator=(const PtMerger&) = delete;

  // The stored point nearest to p within |tol| (a point at exactly tol counts), or null.
  // Among equally near points the one in the lowest box cell (x, then y, then z index)
  // wins, and within a cell the one filed first. Every point within reach is a candidate,
  // wherever the box cells put it (also on the box's upper faces).
  GridPt* test_pt(const GridPt* p, double tol);
  void insert_pt(GridPt* p);
  // Forgets every filed point; keeps the box and the memory.
  void clear();
  // Room for n points without growing.
  void reserve(size_t n);

  size_t size() const { return mItems.size(); }
  int cell_count(int axis) const { return mCount[axis]; }
  double cell_size(int axis) const { return mCell[axis]; }
  // Box cell (x, y, z) that holds p: each index clamped to 0..count-1.
  void box_cell(const GridPt& p, int* ijk) const;

  // Makes lookups at 0 share the cells of lookups at tol (call before filing).
  void prepare(double tol);
  // Hashes each lookup (in merge order) ahead of time so its table slot is in cache.
  void prefetch(const GridPt* p, double tol) const;

private:
  struct Item {
    GridPt* pt;
    uint32_t cell;  // box cell packed as x << 16 | y << 8 | z: orders like the x, y, z walk
  };
  struct Slot {
    uint32_t fp;    // fingerprint of the hashed cell key; 0 marks an empty slot
    uint32_t head;  // first item of the chain
  };
  // One hash of the filed points, for one cell size.
  struct Level {
    double size = 0, inv = 0;
    std::vector<Slot> slots;
    std::vector<uint32_t> next;  // per item: next item of the same hashed cell
    size_t used = 0;
  };

  double level_size(double tol) const;
  const Level* find_level(double tol) const;
  Level& level_for(double tol);
  void add_to_level(Level& lv, uint32_t item);
  void grow(Level& lv);
  GridPt* scan_all(const GridPt* p, double tol) const;

  double mLow[3] = {0, 0, 0};
  int mCount[3] = {1, 1, 1};
  double mCell[3] = {1, 1, 1};
  double mDiagonal = 0;
  double mMinSize = 0;  // smallest hash cell that keeps integer cell keys in range
  std::vector<Item> mItems;
  std::vector<Level> mLevels;
  size_t mReserve = 0;
};
