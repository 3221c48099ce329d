#include "grid/finite_points.h"

#include "grid/pelgrove_MxN.h"
#include "util/message.h"

#include <cmath>

namespace {
bool finite(const GridPt& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

std::string number_text(double v) { return std::isnan(v) ? "nan" : string_printf("%.10g", v); }
}  // namespace

// x * 0 is 0 for every finite x and NaN for NaN and the infinities, so the sum stays 0 until
// a point that is not finite joins it; it cannot overflow as a sum of coordinates would.
long first_nonfinite(const GridPt* pts, size_t n) {
  double sum = 0;
  for (size_t k = 0; k < n; ++k) sum += pts[k].x * 0 + pts[k].y * 0 + pts[k].z * 0;
  if (sum == 0) return -1;
  for (size_t k = 0; k < n; ++k)
    if (!finite(pts[k])) return (long)k;
  return -1;
}

std::string xyz_text(double x, double y, double z) {
  return number_text(x) + " " + number_text(y) + " " + number_text(z);
}

std::string point_place(const Grid& g, long k) {
  const Grid_MxN* mxn = dynamic_cast<const Grid_MxN*>(&g);
  if (!mxn || mxn->N == 0) return std::to_string(k);
  return "(" + std::to_string(k % (mxn->M + 1)) + ", " + std::to_string(k / (mxn->M + 1)) + ")";
}
