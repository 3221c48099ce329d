#include "merge/PtMerger.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <sys/mman.h>

namespace {

// Cell keys beyond this magnitude are not hashed; lookups that would need them scan.
const double KEY_LIMIT = 1152921504606846976.0;  // 2^60
// A lookup that would walk more hashed cells than this searches the trees instead.
const double MAX_WALK = 64;
// Whole-set lookups at a tolerance beyond this part of the box's diagonal search the trees:
// the hashed cells of such a tolerance hold a large part of the model each.
const double WIDE = 32;
// Items per leaf of a tree.
const uint32_t LEAF = 8;

uint64_t mix(int64_t a, int64_t b, int64_t c) {
  uint64_t h = (uint64_t)a * 0x9E3779B97F4A7C15ull ^ (uint64_t)b * 0xC2B2AE3D27D4EB4Full ^
               (uint64_t)c * 0x165667B19E3779F9ull;
  h ^= h >> 30;
  h *= 0xBF58476D1CE4E5B9ull;
  h ^= h >> 27;
  h *= 0x94D049BB133111EBull;
  h ^= h >> 31;
  return h;
}

uint32_t fingerprint(uint64_t h) {
  uint32_t f = (uint32_t)(h >> 32);
  return f ? f : 1;
}

// Cells are centred on multiples of the cell size: round lattice coordinates (and a flat
// z = 0) sit mid-cell, so their tolerance box usually stays inside one cell. False beyond
// the key range (or for a coordinate that is not finite).
bool key_of(double c, double inv, int64_t& k) {
  const double v = c * inv + 0.5;
  if (!(std::fabs(v) < KEY_LIMIT)) return false;
  k = (int64_t)v;  // floor without a library call
  if ((double)k > v) --k;
  return true;
}

bool hash_of(const GridPt& p, double scale, double inv, uint64_t& h) {
  int64_t kx, ky, kz;
  if (!key_of(p.x * scale, inv, kx) || !key_of(p.y * scale, inv, ky) || !key_of(p.z * scale, inv, kz))
    return false;
  h = mix(kx, ky, kz);
  return true;
}

bool finite(const GridPt& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

// Slots for n items: tables are kept at most two-thirds full (a third less memory than
// half full, for about one more slot probed per lookup) and need not be powers of two.
size_t table_size(size_t n) { return std::max<size_t>(64, n + n / 2 + 1); }

// The home slot of hash h in a table of n slots: the low half of h scaled to n (the high
// half is the fingerprint).
size_t home_slot(uint64_t h, size_t n) {
  return (size_t)(((unsigned __int128)(h << 32 | h >> 32) * n) >> 64);
}

}  // namespace

// Equally near candidates are ranked by their key: the box cell (walked x, then y, then
// z index) and then the filing order within the set searched.
// The squared reach comes in long double (a tolerance far below the box) and as the double
// nearest it, which decides for every distance plain doubles give.
struct PtMerger::Best {
  uint32_t item = PtMerger::NONE;
  long double d2 = 0;
  uint64_t key = 0;
  long double reach2;
  double reach2d;

  explicit Best(long double r2) : reach2(r2), reach2d((double)r2) {}

  // Whether a candidate at squared distance dq may win, its key not yet known.
  bool may_take(long double dq) const { return item == PtMerger::NONE || dq <= d2; }

  void offer(uint32_t i, long double dq, uint64_t kq) {
    if (item == PtMerger::NONE || dq < d2 || (dq == d2 && kq < key)) {
      item = i;
      d2 = dq;
      key = kq;
    }
  }
};

void* huge_page_alloc(size_t bytes) {
  const size_t huge = 2u << 20;
  void* mem;
  if (bytes >= huge) {
    bytes = (bytes + huge - 1) & ~(huge - 1);
    mem = std::aligned_alloc(huge, bytes);
    if (mem) madvise(mem, bytes, MADV_HUGEPAGE);
  } else {
    mem = std::malloc(bytes ? bytes : 1);
  }
  if (!mem) throw std::bad_alloc();
  return mem;
}

void huge_page_free(void* p, size_t) {
  std::free(p);
}

PtMerger::PtMerger(const GridPt& lo, const GridPt& hi) {
  const double l[3] = {lo.x, lo.y, lo.z}, h[3] = {hi.x, hi.y, hi.z};
  double top[3], d[3], d2 = 0, maxabs = 0;
  for (int a = 0; a < 3; ++a) {
    mLow[a] = std::isfinite(l[a]) ? l[a] : 0;
    top[a] = std::isfinite(h[a]) ? h[a] : 0;
    maxabs = std::max({maxabs, std::fabs(mLow[a]), std::fabs(top[a])});
  }
  // Far from 1 the squares of extents and distances would overflow or underflow: bring the
  // largest coordinate to [1/2, 1) (the scale itself stays a normal number).
  if (maxabs > 0 && (maxabs < 0x1p-400 || maxabs > 0x1p400)) {
    int e;
    std::frexp(maxabs, &e);
    mScale = std::ldexp(1.0, std::clamp(-e, -1022, 1023));
  }
  for (int a = 0; a < 3; ++a) {
    mLow[a] *= mScale;
    d[a] = top[a] * mScale - mLow[a];
    d2 += d[a] * d[a];
  }
  maxabs *= mScale;
  mDiagonal = std::sqrt(d2);
  const double s = mDiagonal / 20;
  // A box of zero extent (every point at one position) is a single cell.
  for (int a = 0; a < 3; ++a) {
    mCount[a] = 1;
    mCell[a] = 1.0;
    if (s > 0) {
      mCount[a] = std::max(1, (int)(d[a] / s));
      mCell[a] = d[a] / mCount[a];
      if (mCell[a] == 0) mCell[a] = 1.0;
    }
  }
  // Hashed cells far below the coordinates' precision only cost walking; never go below
  // 2^-36 of the largest coordinate.
  mMinSize = std::max(std::ldexp(maxabs, -36), 1e-140);
}

void PtMerger::box_cell(const GridPt& p, int* ijk) const {
  const double c[3] = {coord(p, 0), coord(p, 1), coord(p, 2)};
  for (int a = 0; a < 3; ++a) {
    const double v = (c[a] - mLow[a]) / mCell[a];
    if (!(v >= 1))
      ijk[a] = 0;
    else if (v >= mCount[a] - 1)
      ijk[a] = mCount[a] - 1;
    else
      ijk[a] = (int)v;
  }
}

void PtMerger::clear() {
  mItems.clear();
  mWholeTrees = Forest();
  mLevels.clear();
  mLastLevel = (size_t)-1;
  mProbePt = nullptr;
  mReserve = 0;
  begin_part();
  mPartBegun = false;
  mPartFirst = NONE;
}

void PtMerger::reserve(size_t n) {
  mReserve = std::max(mReserve, n);
  mItems.reserve(n);
}

void PtMerger::insert_pt(GridPt* p) {
  const uint32_t item = (uint32_t)mItems.size();
  mItems.push_back(p);
  if (mPartBegun) {
    ++mPartSize;
    if (mPartTrees.on && finite(*p)) tree_insert(mPartTrees, item);
  }
  for (Level& lv : mLevels) add_to_level(lv, item);
  if (mWholeTrees.on && finite(*p)) tree_insert(mWholeTrees, item);
  mProbePt = nullptr;
}

void PtMerger::begin_part() {
  for (uint32_t i : mPartAdds) mPartAdded[i >> 6] &= ~(uint64_t(1) << (i & 63));
  mPartBegun = true;
  mPartFirst = (uint32_t)mItems.size();
  mPartSize = 0;
  mPartAdds.clear();
  mAddTimes.clear();
  mAddedSeq.clear();
  mPartTrees = Forest();
}

void PtMerger::add_to_part(uint32_t item) {
  if ((item >> 6) >= mPartAdded.size()) mPartAdded.resize(std::max(mItems.size() / 64 + 1, 2 * mPartAdded.size()));
  mPartAdded[item >> 6] |= uint64_t(1) << (item & 63);
  mAddedSeq[item] = mPartSize++;
  mPartAdds.push_back(item);
  mAddTimes.push_back((uint32_t)mItems.size());
  if (mPartTrees.on && finite(*mItems[item])) tree_insert(mPartTrees, item);
}

uint32_t PtMerger::part_seq(uint32_t i) const {
  if (!mAddedSeq.empty()) {
    const auto it = mAddedSeq.find(i);
    if (it != mAddedSeq.end()) return it->second;
  }
  const size_t before = std::upper_bound(mAddTimes.begin(), mAddTimes.end(), i) - mAddTimes.begin();
  return (i - mPartFirst) + (uint32_t)before;
}

uint32_t PtMerger::packed_cell(uint32_t i) const {
  int ijk[3];
  box_cell(*mItems[i], ijk);
  return (uint32_t)(ijk[0] << 16 | ijk[1] << 8 | ijk[2]);
}

// Levels are shared by tolerances within a factor of a few: a tolerance T walks cells of
// at least 2T, so its box touches at most two per axis, and of at most 16T, so a cell
// holds few points that lie beyond T. A lookup at 0 takes any level.
double PtMerger::level_size(double tol) const {
  if (tol > 0) return std::max(4 * tol, mMinSize);
  return std::max(mDiagonal > 0 ? std::ldexp(mDiagonal, -20) : 1.0, mMinSize);
}

const PtMerger::Level* PtMerger::find_level(double tol) const {
  if (tol == mLastTol && mLastLevel < mLevels.size() && !mLevels[mLastLevel].crowded)
    return &mLevels[mLastLevel];
  if (!(tol > 0)) {
    // Any level finds exact matches, but the cells of a wide tolerance hold too many points.
    for (const Level& lv : mLevels)
      if (!lv.crowded && (mDiagonal == 0 || lv.size <= mDiagonal / WIDE)) return &lv;
    return nullptr;
  }
  const double want = level_size(tol);
  for (const Level& lv : mLevels)
    if (lv.size >= want / 2 && lv.size <= want * 4) return &lv;
  return nullptr;
}

PtMerger::Level& PtMerger::level_for(double tol) {
  if (const Level* found = find_level(tol)) {
    mLastTol = tol;
    mLastLevel = (size_t)(found - mLevels.data());
    return const_cast<Level&>(*found);
  }
  mProbePt = nullptr;
  mLevels.emplace_back();
  Level& lv = mLevels.back();
  lv.size = level_size(tol);
  lv.inv = 1 / lv.size;
  lv.slots.assign(table_size(std::max(mReserve, mItems.size())), Slot{0, 0});
  for (uint32_t i = 0; i < (uint32_t)mItems.size() && !lv.crowded; ++i) add_to_level(lv, i);
  return lv;
}

void PtMerger::prepare(double tol) {
  const double T = std::fabs(tol) * mScale;
  if (std::isfinite(T)) level_for(T);
}

void PtMerger::add_to_level(Level& lv, uint32_t item) {
  if (lv.crowded) return;
  if (2 * lv.slots.size() < 3 * (lv.used + 1)) grow(lv, item);
  if (lv.crowded) return;
  uint64_t h;
  size_t s;
  if (mItems[item] == mProbePt && &lv == &mLevels[mProbeLevel]) {
    // The lookup just before ended its walk at the empty slot this item takes.
    h = mProbeHash;
    s = mProbeSlot;
  } else {
    // Beyond the key range (or not finite): no lookup that hashes can come within reach.
    if (!hash_of(*mItems[item], mScale, lv.inv, h)) return;
    s = home_slot(h, lv.slots.size());
  }
  put(lv, h, s, item);
}

// Files the item at the first empty slot from s on. A run of more than CROWDED slots (a
// cell crowded with points, which lookups at a wide tolerance never walk) marks the level
// crowded instead: filing into it would cost as much as walking it.
void PtMerger::put(Level& lv, uint64_t h, size_t s, uint32_t item) {
  const size_t n = lv.slots.size();
  for (size_t probed = 0; lv.slots[s].fp; ++probed) {
    if (probed > CROWDED) return mark_crowded(lv);
    if (++s == n) s = 0;
  }
  lv.slots[s] = Slot{fingerprint(h), item};
  ++lv.used;
}

// Twice the slots, refilled with the items before `upto` in filing order.
void PtMerger::grow(Level& lv, uint32_t upto) {
  mProbePt = nullptr;
  lv.slots.assign(lv.slots.size() * 2, Slot{0, 0});
  lv.used = 0;
  for (uint32_t i = 0; i < upto && !lv.crowded; ++i) {
    uint64_t h;
    if (hash_of(*mItems[i], mScale, lv.inv, h)) put(lv, h, home_slot(h, lv.slots.size()), i);
  }
}

void PtMerger::mark_crowded(Level& lv) {
  lv.crowded = true;
  HugeVector<Slot>().swap(lv.slots);
  lv.used = 0;
  mProbePt = nullptr;
}

uint32_t PtMerger::search_wide(const GridPt* p, double tol, bool part_only) {
  Forest& f = part_only ? mPartTrees : mWholeTrees;
  if (!f.on) {
    f.on = true;
    KdTree all;
    auto add = [&](uint32_t i) {
      if (finite(*mItems[i])) all.items.push_back(i);
    };
    if (part_only)
      for (uint32_t i : mPartAdds) add(i);
    for (uint32_t i = part_only ? mPartFirst : 0; i < (uint32_t)mItems.size(); ++i) add(i);
    size_t k = 0;
    while ((size_t(1) << k) < all.items.size()) ++k;
    f.trees.resize(k + 1);
    build_tree(f.trees[k] = std::move(all));
  }
  Best best(tol2(tol));
  const double c[3] = {coord(*p, 0), coord(*p, 1), coord(*p, 2)};
  for (const KdTree& t : f.trees)
    if (!t.items.empty()) search_tree(t, 0, c, p, part_only, best);
  return best.item;
}

void PtMerger::tree_insert(Forest& f, uint32_t item) {
  std::vector<uint32_t> carry{item};
  for (size_t k = 0;; ++k) {
    if (k == f.trees.size()) f.trees.emplace_back();
    KdTree& t = f.trees[k];
    carry.insert(carry.end(), t.items.begin(), t.items.end());
    t = KdTree();
    if (carry.size() <= (size_t(1) << k)) {
      t.items = std::move(carry);
      build_tree(t);
      return;
    }
  }
}

void PtMerger::build_tree(KdTree& t) {
  t.nodes.assign(1, KdNode());
  build_node(t, 0, 0, (uint32_t)t.items.size());
}

// Split at the median of the widest extent.
void PtMerger::build_node(KdTree& t, uint32_t n, uint32_t begin, uint32_t end) {
  KdNode node = {{HUGE_VAL, HUGE_VAL, HUGE_VAL}, {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL}, begin, end, 0};
  for (uint32_t k = begin; k < end; ++k)
    for (int a = 0; a < 3; ++a) {
      const double c = coord(*mItems[t.items[k]], a);
      node.lo[a] = std::min(node.lo[a], c);
      node.hi[a] = std::max(node.hi[a], c);
    }
  if (end - begin > LEAF) {
    int axis = 0;
    for (int a = 1; a < 3; ++a)
      if (node.hi[a] - node.lo[a] > node.hi[axis] - node.lo[axis]) axis = a;
    const uint32_t mid = begin + (end - begin) / 2;
    std::nth_element(t.items.begin() + begin, t.items.begin() + mid, t.items.begin() + end,
                     [&](uint32_t x, uint32_t y) { return coord(*mItems[x], axis) < coord(*mItems[y], axis); });
    node.left = (uint32_t)t.nodes.size();
    t.nodes.resize(t.nodes.size() + 2);
    build_node(t, node.left, begin, mid);
    build_node(t, node.left + 1, mid, end);
  }
  t.nodes[n] = node;
}

namespace {
double box_dist2(const double* lo, const double* hi, const double* c) {
  double d2 = 0;
  for (int a = 0; a < 3; ++a) {
    const double d = c[a] < lo[a] ? lo[a] - c[a] : c[a] > hi[a] ? c[a] - hi[a] : 0;
    d2 += d * d;
  }
  return d2;
}
}  // namespace

// A node is passed over when its box lies beyond the best distance so far, or beyond the
// reach before any: the box's distance never exceeds that of a point inside it as consider
// computes it, and the margin keeps rounding and tiny distances from dropping a tie.
void PtMerger::search_tree(const KdTree& t, uint32_t n, const double* c, const GridPt* p, bool part_only,
                           Best& best) const {
  const KdNode& node = t.nodes[n];
  const double bound = best.item == NONE ? best.reach2d : (double)best.d2;
  if (box_dist2(node.lo, node.hi, c) > bound * (1 + 0x1p-40) + 0x1p-900) return;
  if (!node.left) {
    for (uint32_t k = node.begin; k < node.end; ++k) consider(t.items[k], p, part_only, best);
    return;
  }
  const KdNode &a = t.nodes[node.left], &b = t.nodes[node.left + 1];
  const bool b_first = box_dist2(b.lo, b.hi, c) < box_dist2(a.lo, a.hi, c);
  search_tree(t, node.left + (b_first ? 1 : 0), c, p, part_only, best);
  search_tree(t, node.left + (b_first ? 0 : 1), c, p, part_only, best);
}

long double PtMerger::exact_dist2(const GridPt& q, const GridPt& p) const {
  const long double s = mScale, dx = q.x * s - p.x * s, dy = q.y * s - p.y * s, dz = q.z * s - p.z * s;
  return dx * dx + dy * dy + dz * dz;
}

long double PtMerger::tol2(double tol) const {
  const double T = std::fabs(tol) * mScale, t = T * T;
  if (t >= 0x1p-900 || tol == 0 || std::isnan(tol)) return t;
  const long double L = std::fabs((long double)tol) * mScale;
  return L * L;
}

GridPt* PtMerger::test_pt(const GridPt* p, double tol) {
  const uint32_t i = nearest(p, tol, false);
  return i == NONE ? nullptr : mItems[i];
}

GridPt* PtMerger::test_part_pt(const GridPt* p, double tol) {
  const uint32_t i = nearest(p, tol, true);
  return i == NONE ? nullptr : mItems[i];
}

uint32_t PtMerger::nearest(const GridPt* p, double tol, bool part_only) {
  if (mItems.empty() || (part_only && mPartSize == 0)) return NONE;
  const long double t2 = tol2(tol);
  // A point that is not finite is within reach of nothing, at any tolerance.
  if (std::isnan(t2) || !finite(*p)) return NONE;
  const double T = std::fabs(tol) * mScale;
  if (std::isinf(t2) || (mDiagonal > 0 && T > mDiagonal)) return search_wide(p, tol, part_only);
  if (!part_only && mDiagonal > 0 && T > mDiagonal / WIDE) return search_wide(p, tol, false);

  Level& lv = level_for(T);
  if (lv.crowded) return search_wide(p, tol, part_only);
  const double c[3] = {coord(*p, 0), coord(*p, 1), coord(*p, 2)};
  int64_t k0[3], k1[3];
  double cells = 1;
  for (int a = 0; a < 3; ++a) {
    // The margin covers rounding in the distance test and squares that underflow to 0.
    const double m = (std::fabs(c[a]) + T) * 0x1p-40 + 1e-150;
    if (!key_of(c[a] - T - m, lv.inv, k0[a]) || !key_of(c[a] + T + m, lv.inv, k1[a]))
      return search_wide(p, tol, part_only);
    cells *= (double)(k1[a] - k0[a] + 1);
  }
  if (cells > MAX_WALK) return search_wide(p, tol, part_only);

  Best best(t2);
  size_t walked = 0;
  for (int64_t kx = k0[0]; kx <= k1[0]; ++kx)
    for (int64_t ky = k0[1]; ky <= k1[1]; ++ky)
      for (int64_t kz = k0[2]; kz <= k1[2]; ++kz) {
        const uint64_t h = mix(kx, ky, kz);
        size_t end;
        walked += walk(lv, h, p, part_only, best, end);
        // The cell of p itself: filing p next can start from here.
        if (cells == 1) remember_probe(p, lv, h, end);
      }
  if (walked > CROWDED) mark_crowded(lv);
  return best.item;
}

size_t PtMerger::walk(const Level& lv, uint64_t h, const GridPt* p, bool part_only, Best& best,
                      size_t& end) const {
  const uint32_t fp = fingerprint(h);
  const size_t size = lv.slots.size();
  size_t s = home_slot(h, size), n = 0;
  for (; lv.slots[s].fp; ++n) {
    if (lv.slots[s].fp == fp) consider(lv.slots[s].item, p, part_only, best);
    if (++s == size) s = 0;
  }
  end = s;
  return n;
}

// Squares of at least 2^-900 (and below overflow) come out of plain doubles as they do at
// any scale; smaller ones lose digits or vanish, and only those are taken in long double.
void PtMerger::consider(uint32_t i, const GridPt* p, bool part_only, Best& best) const {
  if (part_only && !in_part(i)) return;
  const GridPt& q = *mItems[i];
  const double dx = q.x * mScale - p->x * mScale, dy = q.y * mScale - p->y * mScale;
  const double dz = q.z * mScale - p->z * mScale;
  const double d2 = dx * dx + dy * dy + dz * dz;
  // The key of a candidate, worked out only for one within reach that may win.
  auto offer = [&](long double dq) {
    if (best.may_take(dq)) best.offer(i, dq, (uint64_t)packed_cell(i) << 32 | (part_only ? part_seq(i) : i));
  };
  if (d2 >= 0x1p-900 && d2 < HUGE_VAL) {
    if (d2 <= best.reach2d) offer(d2);
  } else if (d2 == 0 && q.x == p->x && q.y == p->y && q.z == p->z) {
    // (Compared unscaled: scaled down, distinct tiny coordinates may meet.)
    if (0 <= best.reach2d) offer(0);
  } else {
    const long double e2 = exact_dist2(q, *p);
    if (e2 <= best.reach2) offer(e2);
  }
}

void PtMerger::remember_probe(const GridPt* p, const Level& lv, uint64_t h, size_t s) {
  mProbePt = p;
  mProbeLevel = (size_t)(&lv - mLevels.data());
  mProbeHash = h;
  mProbeSlot = s;
}

// The lookup of nearest, less its checks and cell range, for a box known to lie in one cell.
bool PtMerger::one_cell(const GridPt* p, double tol, uint64_t& h) {
  const double T = std::fabs(tol) * mScale;
  if (!(T * T < HUGE_VAL) || (mDiagonal > 0 && T > mDiagonal / WIDE) || !finite(*p)) return false;
  const Level& lv = level_for(T);
  if (lv.crowded) return false;
  const double c[3] = {coord(*p, 0), coord(*p, 1), coord(*p, 2)};
  int64_t k[3];
  for (int a = 0; a < 3; ++a) {
    const double m = (std::fabs(c[a]) + T) * 0x1p-40 + 1e-150;
    int64_t k1;
    if (!key_of(c[a] - T - m, lv.inv, k[a]) || !key_of(c[a] + T + m, lv.inv, k1) || k1 != k[a]) return false;
  }
  h = mix(k[0], k[1], k[2]);
  return true;
}

uint32_t PtMerger::nearest_in_cell(const GridPt* p, double tol, bool part_only, uint64_t h) {
  if (mItems.empty() || (part_only && mPartSize == 0)) return NONE;
  Level& lv = level_for(std::fabs(tol) * mScale);
  // Crowded since one_cell said yes: its table is gone.
  if (lv.crowded) return nearest(p, tol, part_only);
  Best best(tol2(tol));
  size_t end;
  const size_t walked = walk(lv, h, p, part_only, best, end);
  remember_probe(p, lv, h, end);
  if (walked > CROWDED) mark_crowded(lv);
  return best.item;
}

size_t PtMerger::level_index(double tol) {
  const double T = std::fabs(tol) * mScale;
  return std::isfinite(T) ? (size_t)(&level_for(T) - mLevels.data()) : (size_t)-1;
}

void PtMerger::prefetch_cell(uint64_t h, double tol) const {
  const Level* lv = find_level(std::fabs(tol) * mScale);
  if (lv && !lv->crowded) __builtin_prefetch(&lv->slots[home_slot(h, lv->slots.size())]);
}

void PtMerger::prefetch(const GridPt* p, double tol) const {
  const Level* lv = find_level(std::fabs(tol) * mScale);
  uint64_t h;
  if (lv && !lv->crowded && hash_of(*p, mScale, lv->inv, h)) __builtin_prefetch(&lv->slots[home_slot(h, lv->slots.size())]);
}
