// Blocks of at least 32 MiB, 2 MiB aligned; an array takes the next bytes of the newest
// block with room. A block goes back to the system when its last array is freed; freeing
// the newest array of a block gives its bytes back to that block. Untouched bytes of a
// block are never resident, so the waste is at most the unfilled part of one huge page.
#include "grid/point_store.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <mutex>

namespace {

constexpr size_t HUGE_PAGE = size_t(2) << 20;
constexpr size_t BLOCK = size_t(32) << 20;
// Below this an array comes from malloc: it would not fill a huge page anyway.
constexpr size_t SMALL = size_t(256) << 10;
constexpr size_t ALIGN = 64;

struct Block {
  char* base;
  size_t size, top, live;
};

std::mutex gLock;
std::vector<Block> gBlocks;

size_t round_up(size_t n, size_t to) { return (n + to - 1) / to * to; }

}  // namespace

void* point_store_alloc(size_t bytes) {
  if (bytes < SMALL) {
    void* p = std::malloc(bytes ? bytes : 1);
    if (!p) throw std::bad_alloc();
    return p;
  }
  bytes = round_up(bytes, ALIGN);
  std::lock_guard<std::mutex> hold(gLock);
  if (gBlocks.empty() || gBlocks.back().size - gBlocks.back().top < bytes) {
    if (bytes > SIZE_MAX - HUGE_PAGE) throw std::bad_alloc();
    const size_t size = std::max(BLOCK, round_up(bytes, HUGE_PAGE));
    char* base = static_cast<char*>(std::aligned_alloc(HUGE_PAGE, size));
    if (!base) throw std::bad_alloc();
    madvise(base, size, MADV_HUGEPAGE);
    gBlocks.push_back(Block{base, size, 0, 0});
  }
  Block& b = gBlocks.back();
  char* p = b.base + b.top;
  b.top += bytes;
  ++b.live;
  return p;
}

void point_store_free(void* p, size_t bytes) {
  if (!p) return;
  if (bytes < SMALL) {
    std::free(p);
    return;
  }
  bytes = round_up(bytes, ALIGN);
  std::lock_guard<std::mutex> hold(gLock);
  char* c = static_cast<char*>(p);
  for (size_t k = gBlocks.size(); k-- > 0;) {
    Block& b = gBlocks[k];
    if (c < b.base || c >= b.base + b.size) continue;
    if (--b.live == 0) {
      std::free(b.base);
      gBlocks.erase(gBlocks.begin() + long(k));
    } else if (c + bytes == b.base + b.top) {
      b.top -= bytes;
    }
    return;
  }
}

size_t point_store_blocks() {
  std::lock_guard<std::mutex> hold(gLock);
  return gBlocks.size();
}
