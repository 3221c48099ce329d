// export_obj_mesh: Wavefront OBJ — "v" lines for the points, then per part a "g" line and
// its elements: "l" for bars, "f" for triangles and quadrilaterals.
#include "meshio/standard_formats.h"

#include "meshio/dvk.h"
#include "meshio/flat_mesh.h"
#include "meshio/text_blocks.h"

#include <algorithm>
#include <cstring>
#include <string>

bool export_obj_mesh(const char* path, bool) {
  FlatMesh m;
  if (!flatten_grids(m)) return false;
  Atomic_File f;
  if (!f.open(path)) return false;
  const std::string head = "# pelgrove mesh: " + std::to_string(m.points()) + " points, " +
                           std::to_string(m.elements()) + " elements, " + std::to_string(m.names.size()) +
                           " groups\n";
  bool ok = f.write(head.data(), head.size());
  ok = ok && write_text_blocks(f, m.points(), 2 + 3 * 22 + 1, [&](long i, char* o) {
    *o++ = 'v';
    for (int a = 0; a < 3; ++a) {
      *o++ = ' ';
      o = DVK::put_e(o, m.xyz[3 * i + a]);
    }
    *o++ = '\n';
    return o;
  });
  const std::vector<long> order = elements_by_group(m, false);
  size_t longest = 0;
  for (const auto& n : m.names) longest = std::max(longest, n.size());
  ok = ok && write_text_blocks(f, m.elements(), longest + 4 + 2 + 4 * 21 + 1, [&](long i, char* o) {
    const long e = order[i];
    const int g = m.group[e];
    if (i == 0 || m.group[order[i - 1]] != g) {
      *o++ = 'g';
      *o++ = ' ';
      o = std::copy(m.names[g].begin(), m.names[g].end(), o);
      *o++ = '\n';
    }
    *o++ = m.count[e] == 2 ? 'l' : 'f';
    for (int j = 0; j < m.count[e]; ++j) {
      *o++ = ' ';
      o = DVK::put_long(o, m.element(e)[j] + 1, 1);
    }
    *o++ = '\n';
    return o;
  });
  if (!ok) f.discard();
  return f.commit();
}
