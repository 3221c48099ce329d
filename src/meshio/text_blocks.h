// text_blocks: the machinery of the mesh writers that format on every core. A file's long
// stretches are cut into segments of some tens of thousands of lines; the segments are
// formatted on up to four threads and written in order, so a writer costs about the same
// per byte however many items it has. Also the unpadded decimal conversion of counts and
// point numbers.
#pragma once

#include "meshio/flat_mesh.h"
#include "util/atomic_file.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

// Threads for formatting, this one included: 1 to 4.
inline int format_workers() { return (int)std::clamp(std::thread::hardware_concurrency(), 1u, 4u); }

// Calls fn(i) for every i in [0, n), spread over format_workers() threads.
template <class Fn>
void for_each_on_cores(size_t n, const Fn& fn) {
  std::atomic<size_t> next{0};
  auto work = [&] {
    for (size_t i; (i = next.fetch_add(1)) < n;) fn(i);
  };
  std::vector<std::thread> threads;
  try {
    for (int t = 1; t < format_workers() && (size_t)t < n; ++t) threads.emplace_back(work);
  } catch (const std::system_error&) {
    // Fewer threads only cost time.
  }
  work();
  for (std::thread& t : threads) t.join();
}

// The buffers of formatted segments; one set serves every stretch of a file.
using SegmentBuffers = std::vector<std::vector<char>>;

// Writes segments [0, n) in order. format(i, out) writes segment i at out, which holds
// bytes_max(i) + 64 bytes (conversions may write blanks past their field), and returns
// its end. Segments are formatted on format_workers() threads (this one included) in a
// window of formatted segments (`ring`) that bounds the memory. False at the first failure.
template <class Bytes, class Format>
bool write_segments(Atomic_File& out, size_t n, const Bytes& bytes_max, const Format& format, SegmentBuffers& ring) {
  const int workers = format_workers();
  const size_t window = 2 * (size_t)workers + 2;
  ring.resize(window);
  std::vector<size_t> length(n, 0);
  std::vector<char> done(n, 0);
  std::mutex mu;
  std::condition_variable cv;
  size_t next_claim = 0, next_write = 0;
  bool failed = false;

  // False when the segment's buffer cannot be had.
  auto format_one = [&](size_t i) {
    std::vector<char>& buf = ring[i % window];
    try {
      const size_t need = bytes_max(i) + 64;
      if (buf.size() < need) buf.resize(need);
    } catch (const std::bad_alloc&) {
      return false;
    }
    length[i] = (size_t)(format(i, buf.data()) - buf.data());
    return true;
  };
  auto claimable = [&] { return next_claim < n && next_claim < next_write + window; };
  // Claims and formats the next segment; called and returns with the lock held.
  auto format_next = [&](std::unique_lock<std::mutex>& lock) {
    const size_t i = next_claim++;
    lock.unlock();
    const bool ok = format_one(i);
    lock.lock();
    done[i] = 1;
    failed = failed || !ok;
    cv.notify_all();
  };
  auto worker = [&] {
    std::unique_lock<std::mutex> lock(mu);
    for (;;) {
      cv.wait(lock, [&] { return failed || next_claim >= n || claimable(); });
      if (failed || next_claim >= n) return;
      format_next(lock);
    }
  };

  std::vector<std::thread> threads;
  try {
    for (int t = 1; t < workers && (size_t)t < n; ++t) threads.emplace_back(worker);
  } catch (const std::system_error&) {
    // Fewer threads only cost time.
  }
  {
    std::unique_lock<std::mutex> lock(mu);
    while (next_write < n && !failed) {
      if (done[next_write]) {
        const size_t i = next_write;
        lock.unlock();
        const bool ok = out.write(ring[i % window].data(), length[i]);
        lock.lock();
        if (!ok) failed = true;
        ++next_write;
        cv.notify_all();
      } else if (claimable()) {
        format_next(lock);
      } else {
        cv.wait(lock);
      }
    }
    failed = failed || next_write < n;
    cv.notify_all();
  }
  for (std::thread& t : threads) t.join();
  return !failed;
}

// Jobs (a writer's runs of lines, numbered from 0 in file order) grouped into segments of
// about SEGMENT_ITEMS lines.
class Segments {
public:
  static constexpr long SEGMENT_ITEMS = 32768;
  struct Segment {
    size_t first, last;  // jobs [first, last)
    size_t bytes;        // at most
    long items;
  };
  // Adds the next job: `items` lines of at most `bytes` in all.
  void add(long items, size_t bytes) {
    if (mList.empty() || mList.back().items >= SEGMENT_ITEMS) mList.push_back({mJobs, mJobs, 0, 0});
    Segment& s = mList.back();
    s.last = ++mJobs;
    s.bytes += bytes;
    s.items += items;
  }
  // Writes every job in order through write_segments; job(j, out) formats job j.
  template <class Job>
  bool write(Atomic_File& out, SegmentBuffers& ring, const Job& job) const {
    return write_segments(
        out, mList.size(), [&](size_t i) { return mList[i].bytes; },
        [&](size_t i, char* o) {
          for (size_t j = mList[i].first; j < mList[i].last; ++j) o = job(j, o);
          return o;
        },
        ring);
  }

private:
  std::vector<Segment> mList;
  size_t mJobs = 0;
};

inline constexpr char DECIMAL_PAIRS[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Digits of v in decimal: 1 to 20.
inline int decimal_digits(uint64_t v) {
  static constexpr uint64_t POW10[20] = {1ull,
                                         10ull,
                                         100ull,
                                         1000ull,
                                         10000ull,
                                         100000ull,
                                         1000000ull,
                                         10000000ull,
                                         100000000ull,
                                         1000000000ull,
                                         10000000000ull,
                                         100000000000ull,
                                         1000000000000ull,
                                         10000000000000ull,
                                         100000000000000ull,
                                         1000000000000000ull,
                                         10000000000000000ull,
                                         100000000000000000ull,
                                         1000000000000000000ull,
                                         10000000000000000000ull};
  // log10(2) ~ 1233 / 4096 gives the digits of 2^(bits-1) or one more.
  // v | 1 has the digits of v, and one for 0.
  const uint64_t w = v | 1;
  const int t = (std::bit_width(w) * 1233) >> 12;
  return t + (w >= POW10[t]);
}

static_assert(std::endian::native == std::endian::little, "eight_digits puts the first digit in the low byte");

// v < 10^8 as eight ascii digits with leading zeros, the first in the low byte: the
// halves, quarters and digits are split in the lanes of one word.
inline uint64_t eight_digits(uint64_t v) {
  const uint64_t x = (v / 10000) | ((v % 10000) << 32);
  const uint64_t hundreds = ((x * 10486) >> 20) & 0x0000007F0000007Full;  // lane / 100
  const uint64_t pairs = hundreds | ((x - hundreds * 100) << 16);
  const uint64_t tens = ((pairs * 103) >> 10) & 0x000F000F000F000Full;  // lane / 10
  return (tens | ((pairs - tens * 10) << 8)) + 0x3030303030303030ull;
}

// "%lu" of v: its digits, no padding; returns their end. May write up to 8 bytes past it.
inline char* put_decimal(char* out, uint64_t v) {
  const int n = decimal_digits(v);
  if (n <= 8) {
    const uint64_t digits = eight_digits(v) >> (8 * (8 - n));
    std::memcpy(out, &digits, 8);
    return out + n;
  }
  char* const end = out + n;
  char* b = end;
  while (v >= 100) {
    b -= 2;
    std::memcpy(b, DECIMAL_PAIRS + 2 * (v % 100), 2);
    v /= 100;
  }
  if (v >= 10) {
    b -= 2;
    std::memcpy(b, DECIMAL_PAIRS + 2 * v, 2);
  } else {
    *--b = char('0' + v);
  }
  return end;
}

// "number<sep>point<sep>point...\n" for each written element of the run that has `kind`
// points (every one when kind is 0), numbered as a .dvk export numbers them.
inline char* put_element_lines(const PartRun& r, int kind, const char* sep, char* o) {
  const size_t len = std::strlen(sep);
  for_written_elements(r, kind, [&](long e, int n, const long* ids) {
    o = put_decimal(o, e);
    for (int j = 0; j < n; ++j) {
      std::memcpy(o, sep, len);
      o = put_decimal(o + len, ids[j]);
    }
    *o++ = '\n';
  });
  return o;
}
