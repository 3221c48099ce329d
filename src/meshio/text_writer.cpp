#include "meshio/text_writer.h"

#include "grid/Grid.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <charconv>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

// ---- threads

int format_workers() { return (int)std::clamp(std::thread::hardware_concurrency(), 1u, 4u); }

namespace {

// Starts up to `count` threads running `helper` (fewer for fewer than that many items, or
// when threads cannot be had: fewer threads only cost time), runs `main` here, and joins
// them.
void with_helpers(int count, size_t n, const std::function<void()>& helper, const std::function<void()>& main) {
  std::vector<std::thread> threads;
  try {
    for (int t = 0; t < count && (size_t)t < n; ++t) threads.emplace_back(helper);
  } catch (const std::system_error&) {
  }
  main();
  for (std::thread& t : threads) t.join();
}

// The state write_segments shares between its threads: segments are claimed in order,
// formatted into the ring's buffers and written in order by the calling thread.
class SegmentPipeline {
public:
  SegmentPipeline(size_t n, const std::function<size_t(size_t)>& bytes_max,
                  const std::function<char*(size_t, char*)>& format, SegmentBuffers& ring)
      : mN(n), mWindow(2 * (size_t)format_workers() + 2), mBytes(bytes_max), mFormat(format), mRing(ring),
        mLength(n, 0), mDone(n, 0) {
    mRing.resize(mWindow);
  }

  // A helper thread: formats segments while any can be claimed.
  void work() {
    std::unique_lock<std::mutex> lock(mMu);
    for (;;) {
      mCv.wait(lock, [&] { return mFailed || mClaim >= mN || claimable(); });
      if (mFailed || mClaim >= mN) return;
      format_next(lock);
    }
  }

  // The calling thread: writes the segments in order, formatting while it waits.
  bool write_all(Atomic_File& out) {
    std::unique_lock<std::mutex> lock(mMu);
    while (mWrite < mN && !mFailed) {
      if (mDone[mWrite]) {
        const size_t i = mWrite;
        lock.unlock();
        const bool ok = out.write(mRing[i % mWindow].data(), mLength[i]);
        lock.lock();
        mFailed = mFailed || !ok;
        ++mWrite;
        mCv.notify_all();
      } else if (claimable()) {
        format_next(lock);
      } else {
        mCv.wait(lock);
      }
    }
    mFailed = mFailed || mWrite < mN;
    mCv.notify_all();
    return !mFailed;
  }

private:
  bool claimable() const { return mClaim < mN && mClaim < mWrite + mWindow; }

  // False when the segment's buffer cannot be had.
  bool format_one(size_t i) {
    std::vector<char>& buf = mRing[i % mWindow];
    try {
      const size_t need = mBytes(i) + 64;
      if (buf.size() < need) buf.resize(need);
    } catch (const std::bad_alloc&) {
      return false;
    }
    mLength[i] = (size_t)(mFormat(i, buf.data()) - buf.data());
    return true;
  }

  // Claims and formats the next segment; called and returns with the lock held.
  void format_next(std::unique_lock<std::mutex>& lock) {
    const size_t i = mClaim++;
    lock.unlock();
    const bool ok = format_one(i);
    lock.lock();
    mDone[i] = 1;
    mFailed = mFailed || !ok;
    mCv.notify_all();
  }

  const size_t mN, mWindow;
  const std::function<size_t(size_t)>& mBytes;
  const std::function<char*(size_t, char*)>& mFormat;
  SegmentBuffers& mRing;
  std::vector<size_t> mLength;
  std::vector<char> mDone;
  std::mutex mMu;
  std::condition_variable mCv;
  size_t mClaim = 0, mWrite = 0;
  bool mFailed = false;
};

}  // namespace

void for_each_on_cores(size_t n, const std::function<void(size_t)>& fn) {
  std::atomic<size_t> next{0};
  const std::function<void()> work = [&] {
    for (size_t i; (i = next.fetch_add(1)) < n;) fn(i);
  };
  with_helpers(format_workers() - 1, n, work, work);
}

bool write_segments(Atomic_File& out, size_t n, const std::function<size_t(size_t)>& bytes_max,
                    const std::function<char*(size_t, char*)>& format, SegmentBuffers& ring) {
  SegmentPipeline pipe(n, bytes_max, format, ring);
  bool ok = false;
  // The writing thread mostly waits on the device: a helper per core keeps them all
  // formatting meanwhile.
  with_helpers(format_workers(), n, [&] { pipe.work(); }, [&] { ok = pipe.write_all(out); });
  return ok;
}

void Segments::add(long items, size_t bytes) {
  if (mList.empty() || mList.back().items >= SEGMENT_ITEMS) mList.push_back({mJobs, mJobs, 0, 0});
  Segment& s = mList.back();
  s.last = ++mJobs;
  s.bytes += bytes;
  s.items += items;
}

bool Segments::write(Atomic_File& out, SegmentBuffers& ring, const std::function<char*(size_t, char*)>& job) const {
  return write_segments(
      out, mList.size(), [&](size_t i) { return mList[i].bytes; },
      [&](size_t i, char* o) {
        for (size_t j = mList[i].first; j < mList[i].last; ++j) o = job(j, o);
        return o;
      },
      ring);
}

// ---- numbers

namespace {

const char DIGIT_PAIRS[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// The digits of v (v >= 0) right-aligned ending at `end`; returns where they begin.
inline char* digits_before(char* end, uint64_t v) {
  while (v >= 100) {
    end -= 2;
    std::memcpy(end, DIGIT_PAIRS + 2 * (v % 100), 2);
    v /= 100;
  }
  if (v >= 10) {
    end -= 2;
    std::memcpy(end, DIGIT_PAIRS + 2 * v, 2);
  } else {
    *--end = char('0' + v);
  }
  return end;
}

constexpr uint64_t POW10_U64[20] = {1ull,
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

inline int digits_of(uint64_t v) {
  // log10(2) ~ 1233 / 4096 gives the digits of 2^(bits-1) or one more.
  // v | 1 has the digits of v, and one for 0.
  const uint64_t w = v | 1;
  const int t = (std::bit_width(w) * 1233) >> 12;
  return t + (w >= POW10_U64[t]);
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

inline char* decimal(char* out, uint64_t v) {
  const int n = digits_of(v);
  if (n <= 8) {
    const uint64_t digits = eight_digits(v) >> (8 * (8 - n));
    std::memcpy(out, &digits, 8);
    return out + n;
  }
  digits_before(out + n, v);
  return out + n;
}

constexpr long POW10_LONG[9] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};

// v in [0, 10^width), width 1..8, right-aligned in width; may write blanks up to out + 8.
inline char* padded_small(char* out, long v, int width) {
  std::memcpy(out, "        ", 8);
  digits_before(out + width, (uint64_t)v);
  return out + width;
}

// Any v right-aligned in width, after a blank when `separate` and it fills the field.
char* padded_any(char* out, long v, int width, bool separate) {
  char tmp[24];
  char* end = std::to_chars(tmp, tmp + sizeof tmp, v).ptr;
  const int len = (int)(end - tmp);
  if (separate && len >= width) *out++ = ' ';
  for (int k = len; k < width; ++k) *out++ = ' ';
  std::memcpy(out, tmp, len);
  return out + len;
}

// A number wider than its field is its digits alone.
inline char* padded(char* out, long v, int width) {
  if (width >= 1 && width <= 8 && v >= 0)
    return v < POW10_LONG[width] ? padded_small(out, v, width) : decimal(out, (uint64_t)v);
  return padded_any(out, v, width, false);
}

// 10^k for k = 0..27: exact in a long double (5^27 < 2^64).
struct Powers {
  long double p[28];
  Powers() {
    p[0] = 1;
    for (int k = 1; k < 28; ++k) p[k] = p[k - 1] * 10;
  }
};
const Powers POW10;

// "%21.13e" of any v in out[0, 21); returns where its text begins after the blanks.
char* e_exact(char* out, double v) {
  char tmp[40];
  char* end = std::to_chars(tmp, tmp + sizeof tmp, v, std::chars_format::scientific, 13).ptr;
  const int len = (int)(end - tmp);
  std::memset(out, ' ', 21);
  std::memcpy(out + 21 - len, tmp, len);
  return out + 21 - len;
}

// a * 10^scale with one rounding, for |scale| <= 27.
inline long double scaled(double a, int scale) {
  return scale >= 0 ? (long double)a * POW10.p[scale] : (long double)a / POW10.p[-scale];
}

// "%21.13e" in out[0, 21); returns where its text begins after the blanks. Values whose
// fourteen digits a long double product settles beyond doubt are converted here, the rest
// (ties, extreme exponents, inf, nan) by std::to_chars, which rounds exactly as printf does.
inline char* e_text(char* out, double v) {
  const double a = std::fabs(v);
  // Scales 10^-27..10^26 keep the product to one rounding (the estimate of E may be one low).
  if (!(a >= 1e-12 && a < 1e40)) return e_exact(out, v);
  // Decimal exponent from the binary one: E or one below it.
  // a is normal here: frexp's exponent is the biased one less 1022.
  const int e2 = int((std::bit_cast<uint64_t>(a) >> 52) & 0x7ff) - 1022;
  int E = (int)std::floor((e2 - 1) * 0.30102999566398120);
  long double s = scaled(a, 13 - E);
  if (s >= 1e14L) s = scaled(a, 13 - ++E);
  // s carries at most half a unit in its 64th bit, under 4e-6 for s < 1e14; a fraction
  // that close to one half could round either way.
  const long double whole = std::floor(s);
  const long double frac = s - whole;
  if (std::fabs(frac - 0.5L) < 1e-4L || s < 1e13L) return e_exact(out, v);
  uint64_t d = (uint64_t)whole + (frac > 0.5L ? 1 : 0);
  if (d >= 100000000000000ull) {
    d /= 10;
    ++E;
  }
  // [-]d.ddddddddddddde[+-]XX, right-aligned in 21: the exponent has two digits here.
  std::memset(out, ' ', 21);
  char* b = out + 21;
  const int ae = E < 0 ? -E : E;
  b -= 2;
  std::memcpy(b, DIGIT_PAIRS + 2 * ae, 2);
  *--b = E < 0 ? '-' : '+';
  *--b = 'e';
  for (int k = 0; k < 6; ++k) {
    b -= 2;
    std::memcpy(b, DIGIT_PAIRS + 2 * (d % 100), 2);
    d /= 100;
  }
  *--b = char('0' + d % 10);
  *--b = '.';
  *--b = char('0' + d / 10);
  if (v < 0) *--b = '-';
  return b;
}

inline char* e_field(char* out, double v) {
  e_text(out, v);
  return out + 21;
}

// "%21.13e" without its leading blanks: formatted aside and moved into place.
inline char* real(char* o, double v) {
  char field[48];  // room for the 24-byte move from any start
  const char* first = e_text(field, v);
  std::memcpy(o, first, 24);
  return o + (field + 21 - first);
}

}  // namespace

int decimal_digits(uint64_t v) { return digits_of(v); }
char* put_decimal(char* out, uint64_t v) { return decimal(out, v); }
char* put_long(char* out, long v, int width) { return padded(out, v, width); }
char* put_point_number(char* out, long v) {
  if (v < 0) return padded_any(out, v, 8, true);
  if (v < 10000000) return padded_small(out, v, 8);
  *out = ' ';
  return decimal(out + 1, (uint64_t)v);
}
char* put_e(char* out, double v) { return e_field(out, v); }
char* put_real(char* out, double v) { return real(out, v); }

// ---- lines

namespace {

// A short text copied with one fixed-size move: the bytes past its length are scratch
// that the next field overwrites (a segment has 64 bytes to spare at its end).
struct Snippet {
  static constexpr size_t SIZE = 48;
  char s[SIZE] = {};
  size_t n = 0;
  explicit Snippet(const char* text) : n(std::min(std::strlen(text), SIZE)) { std::memcpy(s, text, n); }
  char* put(char* o) const {
    std::memcpy(o, s, SIZE);
    return o + n;
  }
};

// The separators of a line: at most 8 bytes, moved as one word.
struct Separator {
  char s[8] = {};
  size_t n = 0;
  explicit Separator(const char* text) : n(std::min(std::strlen(text), sizeof s)) { std::memcpy(s, text, n); }
  char* put(char* o) const {
    std::memcpy(o, s, 8);
    return o + n;
  }
};

template <bool TRIMMED>
inline char* coordinates(char* o, const GridPt& p, const Separator& sep) {
  if (TRIMMED) return real(sep.put(real(sep.put(real(o, p.x)), p.y)), p.z);
  return e_field(sep.put(e_field(sep.put(e_field(o, p.x)), p.y)), p.z);
}

template <bool TRIMMED>
char* point_lines(const PartRun& r, const PointLine& style, char* o) {
  const Snippet head(style.head), after(style.after_number);
  const Separator sep(style.sep);
  const int width = style.number_width;
  const GridPts& pts = r.grid->mPts;
  for (int i = r.begin; i < r.end; ++i) {
    const GridPt& p = pts[i];
    if (p.mapped_to) continue;
    if (head.n) o = head.put(o);
    if (width >= 0) o = after.put(width ? padded(o, p.id, width) : decimal(o, p.id));
    o = coordinates<TRIMMED>(o, p, sep);
    *o++ = '\n';
  }
  return o;
}

}  // namespace

char* put_point_lines(const PartRun& r, const PointLine& style, char* o) {
  return style.trimmed ? point_lines<true>(r, style, o) : point_lines<false>(r, style, o);
}

namespace {

// Element lines with or without the element's and the group's number, decided once per run.
template <bool NUMBER, bool GROUP>
char* element_lines(const PartRun& r, int kind, const ElementLine& style, char* o) {
  const Separator sep(style.sep);
  const Separator head[5] = {Separator(style.head[0]), Separator(style.head[1]), Separator(style.head[2]),
                             Separator(style.head[3]), Separator(style.head[4])};
  const uint64_t group = uint64_t(r.group + 1);
  for_written_elements(r, kind, [&](long e, int n, const long* ids) {
    o = head[n].put(o);
    bool lead = head[n].n != 0;
    if (NUMBER) o = decimal(lead ? sep.put(o) : o, e), lead = true;
    if (GROUP) o = decimal(lead ? sep.put(o) : o, group), lead = true;
    o = decimal(lead ? sep.put(o) : o, ids[0]);
    for (int j = 1; j < n; ++j) o = decimal(sep.put(o), ids[j]);
    *o++ = '\n';
  });
  return o;
}

}  // namespace

char* put_element_lines(const PartRun& r, int kind, const ElementLine& style, char* o) {
  if (style.group)
    return style.number ? element_lines<true, true>(r, kind, style, o) : element_lines<false, true>(r, kind, style, o);
  return style.number ? element_lines<true, false>(r, kind, style, o) : element_lines<false, false>(r, kind, style, o);
}

char* put_number_lines(long first, long last, char* o) {
  for (long i = first; i < last; ++i) {
    o = decimal(o, i);
    *o++ = '\n';
  }
  return o;
}

char* put_number_rows(const long* ids, long first, long n, int per_line, char* o) {
  for (long i = 0; i < n; ++i) {
    o = decimal(o, ids ? ids[i] : first + i);
    *o++ = (i + 1) % per_line == 0 || i + 1 == n ? '\n' : ',';
  }
  return o;
}
