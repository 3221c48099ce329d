// text_blocks: formats a long run of text items on every core and writes them in order.
// The ascii mesh writers format points and elements through it, so a format costs about
// the same per byte however many items it has.
#pragma once

#include "util/atomic_file.h"

#include <algorithm>
#include <cstddef>
#include <thread>
#include <vector>

// Items [0, n) are formatted by format(i, out), which writes item i at out and returns
// its end, writing at most max_bytes (plus 8 bytes of slack past the end it returns).
template <class Format>
bool write_text_blocks(Atomic_File& f, long n, size_t max_bytes, const Format& format) {
  const long BLOCK = 16384;
  const int workers = (int)std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
  std::vector<std::vector<char>> bufs(workers);
  std::vector<size_t> used(workers);
  for (auto& b : bufs) b.resize(BLOCK * max_bytes + 16);
  auto run = [&](int w, long first) {
    char* const start = bufs[w].data();
    char* o = start;
    const long last = std::min(n, first + BLOCK);
    for (long i = first; i < last; ++i) o = format(i, o);
    used[w] = size_t(o - start);
  };
  for (long first = 0; first < n; first += BLOCK * workers) {
    const int active = (int)std::min<long>(workers, (n - first + BLOCK - 1) / BLOCK);
    std::vector<std::thread> threads;
    for (int w = 1; w < active; ++w) threads.emplace_back(run, w, first + w * BLOCK);
    run(0, first);
    for (auto& t : threads) t.join();
    for (int w = 0; w < active; ++w)
      if (!f.write(bufs[w].data(), used[w])) return false;
  }
  return f.good();
}
