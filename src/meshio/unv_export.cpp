// export_unv_mesh: a universal file of three datasets — 2411 the points, 2412 the elements
// in .dvk order (thin-shell quadrilaterals 94 and triangles 91, linear beams 21 with a beam
// record), 2467 one group per part name listing its elements. Coordinates are written as
// 25-column reals with 14 significant digits. Points and elements are formatted straight
// from the parts, on every core (text_writer.h).

#include "meshio/unv_export.h"

#include "grid/Grid.h"
#include "meshio/finite_check.h"
#include "meshio/flat_mesh.h"
#include "meshio/text_writer.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

const int DESCRIPTOR[5] = {0, 0, 21, 91, 94};
const size_t NODE_BYTES = 4 * 10 + 1 + 3 * 25 + 1;
const size_t ELEMENT_BYTES = 6 * 10 + 1 + 3 * 10 + 1 + 4 * 10 + 1;

const PointLine POINT_LINE = {"", 10, "         1         1        11\n    ", "    ", false};

char* put_elements(const PartRun& r, char* o) {
  for_written_elements(r, 0, [&](long e, int n, const long* ids) {
    o = put_long(o, e, 10);
    o = put_long(o, DESCRIPTOR[n], 10);
    o = put_long(o, r.group + 1, 10);
    std::memcpy(o, "         1         7", 20);
    o = put_long(o + 20, n, 10);
    *o++ = '\n';
    if (n == 2) {
      std::memcpy(o, "         0         1         1\n", 31);
      o += 31;
    }
    for (int j = 0; j < n; ++j) o = put_long(o, ids[j], 10);
    *o++ = '\n';
  });
  return o;
}

// A group's element entities, two to a line: type 8, the element number, two zeros.
char* put_group(long first, long count, char* o) {
  for (long i = 0; i < count; ++i) {
    std::memcpy(o, "         8", 10);
    o = put_long(o + 10, first + i, 10);
    std::memcpy(o, "         0         0", 20);
    o += 20;
    if (i % 2 == 1 || i + 1 == count) *o++ = '\n';
  }
  return o;
}

// A group name: 40 characters at most, printable ASCII, others as '_'.
std::string group_name(const std::string& name) {
  std::string s = name.substr(0, 40);
  for (char& c : s)
    if ((unsigned char)c < 0x20 || (unsigned char)c >= 0x7f) c = '_';
  return s;
}

std::string record(std::initializer_list<long> values) {
  std::string s;
  char buf[32];
  for (long v : values) s.append(buf, put_long(buf, v, 10));
  return s + "\n";
}

// A group's element run (null for a group without elements), after the group's record
// lines when `head` is set.
struct GroupJob {
  const PartRun* run;
  const std::string* head;
};

// Per group: its record lines, then its element runs.
std::vector<GroupJob> plan_groups(const PartLayout& L, std::vector<std::string>& group_head, Segments& members) {
  const size_t groups = L.names.size();
  std::vector<long> count(groups, 0);
  for (const PartRun& r : L.elements) count[r.group] += r.elements();
  group_head.assign(groups, "");
  std::vector<GroupJob> jobs;
  for (size_t g = 0; g < groups; ++g) {
    group_head[g] = record({long(g + 1), 0, 0, 0, 0, 0, 0, count[g]}) + group_name(L.names[g]) + "\n";
    const std::string* h = &group_head[g];
    for (const PartRun& r : L.elements) {
      if (r.group != (int)g) continue;
      jobs.push_back({&r, h});
      members.add(r.elements(), size_t(r.elements()) * 25 + (h ? h->size() : 0));
      h = nullptr;
    }
    if (h) {
      jobs.push_back({nullptr, h});
      members.add(0, h->size());
    }
  }
  return jobs;
}

}  // namespace

bool export_unv_mesh(const char* path, bool) {
  if (!check_finite_mesh(path)) return false;
  PartLayout L;
  if (!layout_grids(L, false)) return false;
  Segments points, elements, members;
  for (const PartRun& r : L.points) points.add(r.count[0], size_t(r.count[0]) * NODE_BYTES);
  for (const PartRun& r : L.elements) elements.add(r.elements(), size_t(r.elements()) * ELEMENT_BYTES);
  std::vector<std::string> group_head;
  const std::vector<GroupJob> jobs = plan_groups(L, group_head, members);

  static const char delimiter[] = "    -1\n";
  const std::string nodes_head = std::string(delimiter) + "  2411\n", elements_head = std::string(delimiter) + delimiter + "  2412\n",
                    groups_head = std::string(delimiter) + delimiter + "  2467\n", end = delimiter;
  Atomic_File f;
  if (!f.open(path)) return false;
  SegmentBuffers ring;
  bool ok = f.write(nodes_head.data(), nodes_head.size());
  ok = ok && points.write(f, ring, [&](size_t j, char* o) { return put_point_lines(L.points[j], POINT_LINE, o); });
  ok = ok && f.write(elements_head.data(), elements_head.size());
  ok = ok && elements.write(f, ring, [&](size_t j, char* o) { return put_elements(L.elements[j], o); });
  ok = ok && f.write(groups_head.data(), groups_head.size());
  ok = ok && members.write(f, ring, [&](size_t j, char* o) {
    const GroupJob& jb = jobs[j];
    if (jb.head) o = std::copy(jb.head->begin(), jb.head->end(), o);
    return jb.run ? put_group(jb.run->first + 1, jb.run->elements(), o) : o;
  });
  ok = ok && f.write(end.data(), end.size());
  if (!ok) f.discard();
  return f.commit();
}
