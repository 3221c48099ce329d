// export_obj_mesh: Wavefront OBJ — "v" lines for the points, then per part a "g" line and
// its elements: "l" for bars, "f" for triangles and quadrilaterals. Points and elements
// are formatted straight from the parts, on every core (text_writer.h).

#include "meshio/obj.h"

#include "grid/Grid.h"
#include "meshio/finite_check.h"
#include "meshio/flat_mesh.h"
#include "meshio/text_writer.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

const PointLine POINT_LINE = {"v ", -1, "", " ", false};
const ElementLine ELEMENT_LINE = {{"", "", "l", "f", "f"}, false, false, " "};

// An element run, after its group's "g" line when `head`.
struct Job {
  const PartRun* run;
  bool head;
};

// Elements by group, each group's runs in registry order, a "g" line before each group.
std::vector<Job> plan_elements(const PartLayout& L, Segments& elements) {
  // Element lines are at most as long as their largest point numbers.
  const size_t element_max = 4 * (decimal_digits(L.np) + 1) + 2;
  std::vector<std::vector<const PartRun*>> runs_of(L.names.size());
  for (const PartRun& r : L.elements) runs_of[r.group].push_back(&r);
  std::vector<Job> jobs;
  for (const auto& runs : runs_of)
    for (const PartRun* r : runs) {
      const bool head = r == runs.front();
      jobs.push_back({r, head});
      elements.add(r->elements(), size_t(r->elements()) * element_max + (head ? r->grid->name().size() + 3 : 0));
    }
  return jobs;
}

char* put_element_job(const PartLayout& L, const Job& jb, char* o) {
  if (jb.head) {
    const std::string& name = L.names[jb.run->group];
    *o++ = 'g';
    *o++ = ' ';
    o = std::copy(name.begin(), name.end(), o);
    *o++ = '\n';
  }
  return put_element_lines(*jb.run, 0, ELEMENT_LINE, o);
}

}  // namespace

bool export_obj_mesh(const char* path, bool) {
  if (!check_finite_mesh(path)) return false;
  PartLayout L;
  if (!layout_grids(L, false)) return false;
  const std::string head = "# pelgrove mesh: " + std::to_string(L.np) + " points, " + std::to_string(L.ne) +
                           " elements, " + std::to_string(L.names.size()) + " groups\n";
  Segments points, elements;
  for (const PartRun& r : L.points) points.add(r.count[0], size_t(r.count[0]) * (2 + POINT_LINE_NUMBERS));
  const std::vector<Job> jobs = plan_elements(L, elements);

  Atomic_File f;
  if (!f.open(path)) return false;
  SegmentBuffers ring;
  bool ok = f.write(head.data(), head.size());
  ok = ok && points.write(f, ring, [&](size_t j, char* o) { return put_point_lines(L.points[j], POINT_LINE, o); });
  ok = ok && elements.write(f, ring, [&](size_t j, char* o) { return put_element_job(L, jobs[j], o); });
  if (!ok) f.discard();
  return f.commit();
}
