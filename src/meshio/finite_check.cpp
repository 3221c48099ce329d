#include "meshio/finite_check.h"

#include "grid/Grid.h"
#include "grid/finite_points.h"
#include "util/message.h"

namespace {

// The first representative that is not finite, numbered as renumber_grid_pts numbers it.
bool find_nonfinite_representative(const Grid*& part, const GridPt*& point, long& number) {
  number = 0;
  for (const Grid* g : Grid::gGrids)
    for (const GridPt& p : g->mPts) {
      if (p.mapped_to) continue;
      ++number;
      if (first_nonfinite(&p, 1) == 0) {
        part = g;
        point = &p;
        return true;
      }
    }
  return false;
}

}  // namespace

// Points that are not finite never merge, so an effective point that is not finite is one
// of the points themselves: one pass over all of them decides the common case.
bool check_finite_mesh(const char* path) {
  bool finite = true;
  for (const Grid* g : Grid::gGrids) finite = finite && first_nonfinite(*g) < 0;
  const Grid* part = nullptr;
  const GridPt* point = nullptr;
  long number = 0;
  if (finite || !find_nonfinite_representative(part, point, number)) return true;
  MessageLocationGuard restore;
  set_message_location({path, 0});
  alert_text("not written: point " + std::to_string(number) + " (part '" + part->name() +
             "') is not finite: " + xyz_text(*point));
  return false;
}
