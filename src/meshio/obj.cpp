// export_obj_mesh: Wavefront OBJ — "v" lines for the points, then per part a "g" line and
// its elements: "l" for bars, "f" for triangles and quadrilaterals. Points and elements
// are formatted straight from the parts, on every core (text_blocks.h).
#include "meshio/standard_formats.h"

#include "grid/Grid.h"
#include "meshio/dvk.h"
#include "meshio/finite_check.h"
#include "meshio/flat_mesh.h"
#include "meshio/text_blocks.h"

#include <string>
#include <vector>

namespace {

char* put_points(const PartRun& r, char* o) {
  const std::vector<GridPt>& pts = r.grid->mPts;
  for (int i = r.begin; i < r.end; ++i) {
    const GridPt& p = pts[i];
    if (p.mapped_to) continue;
    *o++ = 'v';
    *o++ = ' ';
    o = DVK::put_xyz(o, p.x, p.y, p.z);
    *o++ = '\n';
  }
  return o;
}

char* put_elements(const PartRun& r, char* o) {
  for_written_elements(r, 0, [&](long, int n, const long* ids) {
    *o++ = n == 2 ? 'l' : 'f';
    for (int j = 0; j < n; ++j) {
      *o++ = ' ';
      o = put_decimal(o, ids[j]);
    }
    *o++ = '\n';
  });
  return o;
}

}  // namespace

bool export_obj_mesh(const char* path, bool) {
  if (!check_finite_mesh(path)) return false;
  PartLayout L;
  if (!layout_grids(L, false)) return false;
  const std::string head = "# pelgrove mesh: " + std::to_string(L.np) + " points, " + std::to_string(L.ne) +
                           " elements, " + std::to_string(L.names.size()) + " groups\n";
  // Element lines are at most as long as their largest point numbers.
  const size_t element_max = 4 * (decimal_digits(L.np) + 1) + 2;
  Segments points, elements;
  for (const PartRun& r : L.points) points.add(r.count[0], size_t(r.count[0]) * (2 + 3 * 22));
  // Elements by group, each group's runs in registry order, a "g" line before each group.
  std::vector<std::vector<const PartRun*>> runs_of(L.names.size());
  for (const PartRun& r : L.elements) runs_of[r.group].push_back(&r);
  std::vector<const PartRun*> jobs;
  std::vector<char> group_head;
  for (const auto& runs : runs_of)
    for (const PartRun* r : runs) {
      const bool first = r == runs.front();
      jobs.push_back(r);
      group_head.push_back(first);
      elements.add(r->elements(), size_t(r->elements()) * element_max + (first ? r->grid->name().size() + 3 : 0));
    }

  Atomic_File f;
  if (!f.open(path)) return false;
  SegmentBuffers ring;
  bool ok = f.write(head.data(), head.size());
  ok = ok && points.write(f, ring, [&](size_t j, char* o) { return put_points(L.points[j], o); });
  ok = ok && elements.write(f, ring, [&](size_t j, char* o) {
    const PartRun& r = *jobs[j];
    if (group_head[j]) {
      const std::string& name = L.names[r.group];
      *o++ = 'g';
      *o++ = ' ';
      o = std::copy(name.begin(), name.end(), o);
      *o++ = '\n';
    }
    return put_elements(r, o);
  });
  if (!ok) f.discard();
  return f.commit();
}
