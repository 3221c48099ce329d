// Blocks of at least 32 MiB, 2 MiB aligned; an array takes the next bytes of the newest
// block with room. A block goes back to the system when its last array is freed; freeing
// the newest array of a block gives its bytes back to that block.
// A helper thread faults in the pages of a new array and one huge page past it
// (MADV_POPULATE_WRITE) while the builder fills the array: mapping and clearing fresh
// pages costs more than filling them on a virtual machine, and runs on another core this
// way. Untouched bytes of a block are never resident, so the waste is at most the unfilled
// part of the page an array ends in plus the one huge page ahead.
#include "grid/point_store.h"

#include <sys/mman.h>

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

constexpr size_t HUGE_PAGE = size_t(2) << 20;
constexpr size_t BLOCK = size_t(32) << 20;
// Below this an array comes from malloc: it would not fill a huge page anyway.
constexpr size_t SMALL = size_t(256) << 10;
constexpr size_t ALIGN = 64;
constexpr size_t AHEAD = HUGE_PAGE;

struct Block {
  char* base;
  size_t size, top, live;
  size_t populated, wanted;  // the helper's progress and goal, from base
};

// Never destroyed: arrays may be freed by other objects' destructors at exit, and the
// helper thread may still wait on it then.
struct Store {
  std::mutex lock;
  std::condition_variable wake, done;
  std::vector<Block> blocks;
  const char* busy = nullptr;  // base of the block the helper is populating now
  bool helper = false;
};
Store& store() {
  static Store* s = new Store;
  return *s;
}

size_t round_up(size_t n, size_t to) { return (n + to - 1) / to * to; }

Block* next_to_populate(Store& s) {
  for (Block& b : s.blocks)
    if (b.populated < b.wanted) return &b;
  return nullptr;
}

void populate_loop() {
  Store& s = store();
  std::unique_lock<std::mutex> hold(s.lock);
  for (;;) {
    Block* b = next_to_populate(s);
    if (!b) {
      s.wake.wait(hold);
      continue;
    }
    char* page = b->base + b->populated;
    b->populated += HUGE_PAGE;
    s.busy = b->base;
    hold.unlock();
    madvise(page, HUGE_PAGE, MADV_POPULATE_WRITE);  // refused (an older kernel): only slower
    hold.lock();
    s.busy = nullptr;
    s.done.notify_all();
  }
}

// Gives back the pages populated past the last array of every block (a block an array
// did not fit in, or the end of a run), once the helper has left them.
void trim_locked(Store& s, std::unique_lock<std::mutex>& hold) {
  for (Block& b : s.blocks) b.wanted = std::min(b.wanted, round_up(b.top, HUGE_PAGE));
  s.done.wait(hold, [&] { return s.busy == nullptr; });
  for (Block& b : s.blocks) {
    const size_t keep = round_up(b.top, HUGE_PAGE);
    if (b.populated > keep) madvise(b.base + keep, b.populated - keep, MADV_DONTNEED);
    b.populated = std::min(b.populated, keep);
  }
}

void start_helper(Store& s) {
  if (s.helper) return;
  try {
    std::thread(populate_loop).detach();
    s.helper = true;
  } catch (const std::system_error&) {  // no helper: the builder faults its own pages
  }
}

}  // namespace

void* point_store_alloc(size_t bytes) {
  if (bytes < SMALL) {
    void* p = std::malloc(bytes ? bytes : 1);
    if (!p) throw std::bad_alloc();
    return p;
  }
  bytes = round_up(bytes, ALIGN);
  Store& s = store();
  std::unique_lock<std::mutex> hold(s.lock);
  if (s.blocks.empty() || s.blocks.back().size - s.blocks.back().top < bytes) {
    if (bytes > SIZE_MAX - BLOCK) throw std::bad_alloc();
    trim_locked(s, hold);
    const size_t size = std::max(BLOCK, round_up(bytes, HUGE_PAGE));
    char* base = static_cast<char*>(std::aligned_alloc(HUGE_PAGE, size));
    if (!base) throw std::bad_alloc();
    madvise(base, size, MADV_HUGEPAGE);
    s.blocks.push_back(Block{base, size, 0, 0, 0, 0});
    start_helper(s);
  }
  Block& b = s.blocks.back();
  char* p = b.base + b.top;
  b.populated = std::max(b.populated, b.top / HUGE_PAGE * HUGE_PAGE);
  b.top += bytes;
  ++b.live;
  b.wanted = std::min(b.size, round_up(b.top, HUGE_PAGE) + AHEAD);
  if (s.helper && b.populated < b.wanted) s.wake.notify_one();
  return p;
}

void point_store_free(void* p, size_t bytes) {
  if (!p) return;
  if (bytes < SMALL) {
    std::free(p);
    return;
  }
  bytes = round_up(bytes, ALIGN);
  Store& s = store();
  std::unique_lock<std::mutex> hold(s.lock);
  char* c = static_cast<char*>(p);
  auto holding = [&]() -> Block* {
    for (Block& b : s.blocks)
      if (c >= b.base && c < b.base + b.size) return &b;
    return nullptr;
  };
  Block* b = holding();
  if (!b) return;
  // The helper leaves the block first; it cannot come back while the lock is held.
  char* base = b->base;
  s.done.wait(hold, [&] { return s.busy != base; });
  b = holding();  // the array is still live in it, so the block is still there
  if (--b->live == 0) {
    s.blocks.erase(s.blocks.begin() + (b - s.blocks.data()));
    std::free(base);
    return;
  }
  // The whole pages of an array no other will take go back to the system (a vector that
  // grew leaves one behind at every step). The newest array's bytes go back to the block
  // for the next one, with the pages faulted past them.
  const size_t at = size_t(c - base), page = 4096;
  size_t from = round_up(at, page), to = (at + bytes) / page * page;
  if (at + bytes == b->top) {
    b->top = at;
    to = std::max(round_up(at + bytes, page), b->populated);
    b->populated = std::max(b->populated, to);
  } else {
    b->populated = std::max(b->populated, to);
  }
  b->wanted = std::min(b->wanted, b->populated);
  if (to > from) madvise(base + from, to - from, MADV_DONTNEED);
}

void point_store_trim() {
  Store& s = store();
  std::unique_lock<std::mutex> hold(s.lock);
  trim_locked(s, hold);
}

size_t point_store_blocks() {
  Store& s = store();
  std::lock_guard<std::mutex> hold(s.lock);
  return s.blocks.size();
}
