// cell_table: an open-addressed table from hashed cell keys to runs of one array, filled in
// two passes (count, then put) so a million cells cost two flat arrays instead of a vector
// each. Used by the mesh check's near-miss and T-joint searches.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The key of cell (x, y, z) of a level.
inline uint64_t cell_hash(int level, int64_t x, int64_t y, int64_t z) {
  uint64_t h = uint64_t(level + 1) * 0xD6E8FEB86659FD93ull;
  h ^= uint64_t(x) * 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
  h ^= uint64_t(y) * 0xC2B2AE3D27D4EB4Full + (h << 6) + (h >> 2);
  h ^= uint64_t(z) * 0x165667B19E3779F9ull + (h << 6) + (h >> 2);
  return h;
}

// Open-addressed table of cell keys -> a range of one array. Keys of different cells that
// collide share a range: callers measure what they find.
class CellTable {
public:
  explicit CellTable(size_t n) {
    size_t cap = 16;
    while (cap < 2 * n) cap *= 2;
    mSlots.assign(cap, Slot{});
    mMask = cap - 1;
  }
  void count(uint64_t key) { ++slot(key).count; }
  // After counting: each slot's range, in slot order.
  void place(size_t& total) {
    total = 0;
    for (Slot& s : mSlots) {
      s.begin = uint32_t(total);
      total += s.count;
      s.fill = s.begin;
    }
  }
  uint32_t put(uint64_t key) { return slot(key).fill++; }
  bool find(uint64_t key, uint32_t& begin, uint32_t& end) const {
    for (size_t i = mix(key) & mMask;; i = (i + 1) & mMask) {
      const Slot& s = mSlots[i];
      if (!s.used) return false;
      if (s.key == key) {
        begin = s.begin;
        end = s.begin + s.count;
        return true;
      }
    }
  }

private:
  struct Slot {
    uint64_t key = 0;
    uint32_t begin = 0, count = 0, fill = 0;
    bool used = false;
  };
  static size_t mix(uint64_t k) { return size_t(k ^ (k >> 29)); }
  Slot& slot(uint64_t key) {
    for (size_t i = mix(key) & mMask;; i = (i + 1) & mMask) {
      Slot& s = mSlots[i];
      if (!s.used) {
        s.used = true;
        s.key = key;
        return s;
      }
      if (s.key == key) return s;
    }
  }
  std::vector<Slot> mSlots;
  size_t mMask = 0;
};
