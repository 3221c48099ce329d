// PtMerger: joins coincident points of all parts into representatives after every run.
// Each point ends either a representative (mapped_to null) or linked directly to one.
// A merger files points by the cells of a box (at most 20 per axis) that fix the order in
// which candidates are preferred, and finds them through hashed cells sized from the
// tolerance, so a lookup costs the same however the points crowd the box's cells.
#pragma once

#include "grid/Grid.h"

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

// Allocates blocks of 2 MiB and more on huge-page boundaries, advised for huge pages: a
// hash table is read at random, and a TLB miss per lookup would cost more than the lookup.
void* huge_page_alloc(size_t bytes);
void huge_page_free(void* p, size_t bytes);
template <class T>
using HugePageAllocator = BlockAllocator<T, huge_page_alloc, huge_page_free>;
template <class T>
using HugeVector = std::vector<T, HugePageAllocator<T>>;

// Nearest-point search over the points filed so far; never owns them. Besides the whole
// set it keeps a part view: the points filed or added since begin_part, searched on their
// own with their own filing order (what a separate merger per part would hold).
class PtMerger {
public:
  static constexpr uint32_t NONE = 0xffffffffu;

  // Box cells: D/20 nominal size (D the box diagonal), at most 20 per axis; a box of zero
  // extent is one cell.
  PtMerger(const GridPt& lo, const GridPt& hi);
  PtMerger(const PtMerger&) = delete;
  PtMerger& operator=(const PtMerger&) = delete;

  // The stored point nearest to p within |tol| (a point at exactly tol counts), or null.
  // Distances are compared without underflow or overflow at any scale: at tolerance 0
  // only a point at exactly p's position is found.
  // Among equally near points the one in the lowest box cell (x, then y, then z index)
  // wins, and within a cell the one filed first. Every point within reach is a candidate,
  // wherever the box cells put it (also on the box's upper faces).
  GridPt* test_pt(const GridPt* p, double tol);
  // Files p (also into the part view, once a part was begun).
  void insert_pt(GridPt* p);
  // Forgets every filed point; keeps the box.
  void clear();
  // Room for n points without growing.
  void reserve(size_t n);

  // -- the part view
  // Starts an empty part view; the points filed before stay in the whole set.
  void begin_part();
  // As test_pt over the part view, in its own filing order.
  GridPt* test_part_pt(const GridPt* p, double tol);
  // Index of the point a lookup returns, for add_to_part; NONE for none.
  uint32_t nearest(const GridPt* p, double tol, bool part_only);
  GridPt* point(uint32_t item) const { return mItems[item]; }
  // Puts an already filed point into the part view.
  void add_to_part(uint32_t item);

  size_t size() const { return mItems.size(); }
  int cell_count(int axis) const { return mCount[axis]; }
  double cell_size(int axis) const { return mCell[axis]; }
  // Box cell (x, y, z) that holds p: each index clamped to 0..count-1.
  void box_cell(const GridPt& p, int* ijk) const;

  // Makes lookups at 0 share the cells of lookups at tol (call before filing).
  void prepare(double tol);
  // Which hashed cells lookups at tol walk; lookups of equal index share cells (-1: none,
  // the tolerance is beyond every cell size).
  size_t level_index(double tol);

  // -- the merge loop's shortcut
  // True when a lookup at tol walks a single hashed cell, whose hash h is then given;
  // nearest_in_cell then answers as nearest does, at tol or below on the same level.
  bool one_cell(const GridPt* p, double tol, uint64_t& h);
  uint32_t nearest_in_cell(const GridPt* p, double tol, bool part_only, uint64_t h);
  void prefetch_cell(uint64_t h, double tol) const;
  // Hashes a coming lookup ahead of time so its table slot is in cache.
  void prefetch(const GridPt* p, double tol) const;

private:
  // Open-addressed table of filed items by hashed cell, a slot per item: a cell's items lie
  // in the run of full slots from the cell's home slot, among those of other cells.
  struct Slot {
    uint32_t fp;    // fingerprint of the hashed cell key; 0 marks an empty slot
    uint32_t item;
  };
  // One hash of the filed points, for one cell size.
  struct Level {
    double size = 0, inv = 0;
    HugeVector<Slot> slots;
    size_t used = 0;  // full slots
    // A lookup probed more than CROWDED slots: lookups at this level use the trees, and its
    // table is freed and no longer kept up to date.
    bool crowded = false;
  };

  // A static k-d tree over some filed items: nodes hold the bounds of their items (in the
  // merger's units); a node's two children sit side by side at `left` (0: a leaf).
  struct KdNode {
    double lo[3], hi[3];
    uint32_t begin, end, left;
  };
  struct KdTree {
    std::vector<uint32_t> items;
    std::vector<KdNode> nodes;
  };
  // Trees over a set of items, built at the set's first wide lookup and then kept up to
  // date as a binary counter: [k] is empty or holds at most 2^k items, and a new item and
  // the full trees below the first that can hold them all become that tree, so each item is
  // rebuilt into a tree O(log n) times.
  struct Forest {
    bool on = false;
    std::vector<KdTree> trees;
  };

  struct Best;
  // Slots probed; a lookup that probes more than this marks its level crowded.
  static constexpr size_t CROWDED = 512;
  // Offers the items of hashed cell h; returns the slots probed and, in `end`, the empty
  // slot that ended the run (where an item of that cell would be filed).
  size_t walk(const Level& lv, uint64_t h, const GridPt* p, bool part_only, Best& best, size_t& end) const;
  void mark_crowded(Level& lv);
  // Offers filed item i to `best` when it is within its reach of p.
  void consider(uint32_t i, const GridPt* p, bool part_only, Best& best) const;
  // Coordinate of p along an axis, in the merger's units.
  double coord(const GridPt& p, int axis) const { return (axis == 0 ? p.x : axis == 1 ? p.y : p.z) * mScale; }
  // Squared distance and squared tolerance in the merger's units (see mScale), in long double.
  long double exact_dist2(const GridPt& q, const GridPt& p) const;
  long double tol2(double tol) const;
  void remember_probe(const GridPt* p, const Level& lv, uint64_t h, size_t s);
  // Whether item i is in the part view, and its place in the view's filing order.
  bool in_part(uint32_t i) const {
    return i >= mPartFirst || ((i >> 6) < mPartAdded.size() && (mPartAdded[i >> 6] >> (i & 63) & 1));
  }
  uint32_t part_seq(uint32_t i) const;
  // The box cell of item i packed as x << 16 | y << 8 | z: orders like the x, y, z walk.
  uint32_t packed_cell(uint32_t i) const;
  double level_size(double tol) const;
  const Level* find_level(double tol) const;
  Level& level_for(double tol);
  void add_to_level(Level& lv, uint32_t item);
  void put(Level& lv, uint64_t h, size_t s, uint32_t item);
  void grow(Level& lv, uint32_t upto);
  // Lookups no table answers cheaply: a tolerance near the box's size or beyond, a level
  // crowded with points, keys out of range. They search the trees of the set.
  uint32_t search_wide(const GridPt* p, double tol, bool part_only);
  void tree_insert(Forest& f, uint32_t item);
  void build_tree(KdTree& t);
  void build_node(KdTree& t, uint32_t node, uint32_t begin, uint32_t end);
  void search_tree(const KdTree& t, uint32_t node, const double* c, const GridPt* p, bool part_only,
                   Best& best) const;

  // Coordinates and tolerances are scaled by this power of two when the box lies beyond
  // 2^-400..2^400, so that the box's cells, hashed cells and distances come out as they do
  // for the same model at ordinary scale (exactly: scaling by 2^k rounds nothing).
  double mScale = 1;
  double mLow[3] = {0, 0, 0};
  int mCount[3] = {1, 1, 1};
  double mCell[3] = {1, 1, 1};
  double mDiagonal = 0;
  double mMinSize = 0;  // smallest hash cell that keeps integer cell keys in range
  HugeVector<GridPt*> mItems;  // the filed points, in filing order
  std::vector<Level> mLevels;
  size_t mReserve = 0;
  double mLastTol = -1;  // the level of the last tolerance asked for
  size_t mLastLevel = (size_t)-1;
  // Where the last single-cell lookup of mProbePt ended, so filing it next needs no hash.
  const GridPt* mProbePt = nullptr;
  size_t mProbeLevel = 0;
  uint64_t mProbeHash = 0;
  size_t mProbeSlot = 0;
  // The part view: the items filed since begin_part (from mPartFirst on) and those added
  // to it, which are marked in mPartAdded (a bit per item) and keep their place in mAddedSeq.
  // An item filed in the part follows every item added before it was filed (mAddTimes: the
  // item count at each addition).
  bool mPartBegun = false;
  uint32_t mPartFirst = NONE;
  uint32_t mPartSize = 0;
  std::vector<uint32_t> mPartAdds;
  std::vector<uint32_t> mAddTimes;
  std::vector<uint64_t> mPartAdded;
  std::unordered_map<uint32_t, uint32_t> mAddedSeq;
  Forest mWholeTrees, mPartTrees;    // over the finite items of the whole set and the part view
};
