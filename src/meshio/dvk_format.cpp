// The number conversions of the ascii mesh file, byte for byte those of printf. "%21.13e"
// takes most of an export: values whose fourteen digits a long double product settles
// beyond doubt are converted here, the rest (ties, extreme exponents, inf, nan) by
// std::to_chars, which rounds exactly as printf does.
#include "meshio/dvk.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

const char DIGIT_PAIRS[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// 10^k for k = 0..27: exact in a long double (5^27 < 2^64).
struct Powers {
  long double p[28];
  Powers() {
    p[0] = 1;
    for (int k = 1; k < 28; ++k) p[k] = p[k - 1] * 10;
  }
};
const Powers POW10;

char* put_e_exact(char* out, double v) {
  char tmp[40];
  char* end = std::to_chars(tmp, tmp + sizeof tmp, v, std::chars_format::scientific, 13).ptr;
  for (int k = (int)(end - tmp); k < 21; ++k) *out++ = ' ';
  std::memcpy(out, tmp, end - tmp);
  return out + (end - tmp);
}

// a * 10^scale with one rounding, for |scale| <= 27.
long double scaled(double a, int scale) {
  return scale >= 0 ? (long double)a * POW10.p[scale] : (long double)a / POW10.p[-scale];
}

}  // namespace

char* DVK::put_e(char* out, double v) {
  const double a = std::fabs(v);
  // Scales 10^-27..10^26 keep the product to one rounding (the estimate of E may be one low).
  if (!(a >= 1e-12 && a < 1e40)) return put_e_exact(out, v);
  // Decimal exponent from the binary one: E or one below it.
  int e2;
  std::frexp(a, &e2);
  int E = (int)std::floor((e2 - 1) * 0.30102999566398120);
  long double s = scaled(a, 13 - E);
  if (s >= 1e14L) s = scaled(a, 13 - ++E);
  // s carries at most half a unit in its 64th bit, under 4e-6 for s < 1e14; a fraction
  // that close to one half could round either way.
  const long double whole = std::floor(s);
  const long double frac = s - whole;
  if (std::fabs(frac - 0.5L) < 1e-4L || s < 1e13L) return put_e_exact(out, v);
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
  return out + 21;
}

namespace {

const long POW10_LONG[9] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};

// v in [0, 10^width), width 1..8, right-aligned in width; may write blanks up to out + 8.
char* put_small(char* out, long v, int width) {
  std::memcpy(out, "        ", 8);
  char* b = out + width;
  while (v >= 100) {
    b -= 2;
    std::memcpy(b, DIGIT_PAIRS + 2 * (v % 100), 2);
    v /= 100;
  }
  if (v >= 10) {
    b -= 2;
    std::memcpy(b, DIGIT_PAIRS + 2 * v, 2);
  } else {
    *--b = char('0' + v);
  }
  return out + width;
}

char* put_any(char* out, long v, int width, bool separate) {
  char tmp[24];
  char* end = std::to_chars(tmp, tmp + sizeof tmp, v).ptr;
  const int len = (int)(end - tmp);
  if (separate && len >= width) *out++ = ' ';
  for (int k = len; k < width; ++k) *out++ = ' ';
  std::memcpy(out, tmp, len);
  return out + len;
}

}  // namespace

char* DVK::put_long(char* out, long v, int width) {
  if (width >= 1 && width <= 8 && v >= 0 && v < POW10_LONG[width]) return put_small(out, v, width);
  return put_any(out, v, width, false);
}

char* DVK::put_point_number(char* out, long v) {
  if (v >= 0 && v < 10000000) return put_small(out, v, 8);
  return put_any(out, v, 8, true);
}
