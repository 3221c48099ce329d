// export_inp_mesh: an input deck of keyword lines. "*NODE" lists the points; one "*ELEMENT"
// block per element kind (quadrilaterals, triangles, bars) with the type element_name gave
// it; per part name with elements an "*ELSET" of its elements and an "*NSET" of their
// points, and a "*SHELL SECTION" where the part was given a thickness. Points and elements
// are formatted straight from the parts, on every core (text_blocks.h).
#include "meshio/solver_formats.h"

#include "grid/Grid.h"
#include "grid/part_properties.h"
#include "meshio/dvk.h"
#include "meshio/finite_check.h"
#include "meshio/flat_mesh.h"
#include "meshio/text_blocks.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <string>
#include <vector>

namespace {

const int PER_LINE = 16;  // numbers on a data line of a set

char* put_points(const PartRun& r, char* o) {
  const std::vector<GridPt>& pts = r.grid->mPts;
  for (int i = r.begin; i < r.end; ++i) {
    const GridPt& p = pts[i];
    if (p.mapped_to) continue;
    o = put_decimal(o, p.id);
    *o++ = ',';
    o = DVK::put_e(o, p.x);
    *o++ = ',';
    o = DVK::put_e(o, p.y);
    *o++ = ',';
    o = DVK::put_e(o, p.z);
    *o++ = '\n';
  }
  return o;
}


// Numbers [0, n) of `at`, PER_LINE to a line.
template <class At>
char* put_numbers(long n, const At& at, char* o) {
  for (long i = 0; i < n; ++i) {
    o = put_decimal(o, at(i));
    *o++ = (i + 1) % PER_LINE == 0 || i + 1 == n ? '\n' : ',';
  }
  return o;
}

// The numbers of the points a run's elements use, ascending: marked in a table over their
// span when that is short (a part's own points are numbered in a row), sorted otherwise.
std::vector<long> run_points(const PartRun& r) {
  const std::vector<GridPt>& pts = r.grid->mPts;
  std::vector<long> ids;
  ids.reserve(4 * size_t(r.elements()));
  long idx[4];
  for (int k = r.begin; k < r.end; ++k) {
    const int n = r.grid->element(k, idx);
    for (int j = 0; j < n && n >= 2; ++j) ids.push_back(effective(pts[idx[j]]).id);
  }
  if (ids.empty()) return ids;
  const auto [lo, hi] = std::minmax_element(ids.begin(), ids.end());
  const long first = *lo, span = *hi - *lo + 1;
  if (span > 8 * (long)ids.size()) {
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    return ids;
  }
  std::vector<char> seen(span, 0);
  for (long id : ids) seen[id - first] = 1;
  ids.clear();
  for (long i = 0; i < span; ++i)
    if (seen[i]) ids.push_back(first + i);
  return ids;
}

// Per group: the numbers of the points its elements use, ascending; runs and groups on
// every core.
std::vector<std::vector<long>> group_points(const PartLayout& L, size_t groups) {
  std::vector<std::vector<long>> of_run(L.elements.size()), out(groups);
  for_each_on_cores(L.elements.size(), [&](size_t i) { of_run[i] = run_points(L.elements[i]); });
  std::vector<std::vector<size_t>> runs_of(groups);
  for (size_t i = 0; i < L.elements.size(); ++i) runs_of[L.elements[i].group].push_back(i);
  for_each_on_cores(groups, [&](size_t g) {
    std::vector<long>& ids = out[g];
    for (size_t i : runs_of[g]) {
      const size_t before = ids.size();
      ids.insert(ids.end(), of_run[i].begin(), of_run[i].end());
      if (before && ids[before - 1] >= ids[before]) std::inplace_merge(ids.begin(), ids.begin() + before, ids.end());
      std::vector<long>().swap(of_run[i]);
    }
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
  });
  return out;
}

// A set's numbers cut into jobs of at most Segments::SEGMENT_ITEMS.
struct SetJob {
  const std::vector<long>* ids;  // node numbers; null for an element run
  const PartRun* run;
  long begin, end;
  const std::string* head;  // keyword line before the job's numbers, or null
};

}  // namespace

std::string deck_label(const std::string& name, size_t max) {
  std::string s = name;
  for (char& c : s)
    if (!std::isalnum((unsigned char)c) && c != '_') c = '_';
  if (s.empty() || !std::isalpha((unsigned char)s[0])) s = "P" + s;
  if (s.size() > max) s.resize(max);
  return s;
}

bool export_inp_mesh(const char* path, bool) {
  if (!check_finite_mesh(path)) return false;
  PartLayout L;
  if (!layout_grids(L, false)) return false;
  const long np = L.np, ne = L.ne;
  size_t groups = 0;  // names with elements come first
  for (const PartRun& r : L.elements) groups = std::max(groups, size_t(r.group) + 1);

  // Labels: distinct whatever case, numbered where two names would meet.
  std::vector<std::string> label(groups);
  std::set<std::string> taken;
  for (size_t g = 0; g < groups; ++g) {
    std::string l = deck_label(L.names[g], 80), key = l;
    for (char& c : key) c = (char)std::toupper((unsigned char)c);
    if (taken.count(key)) {
      const std::string tail = "_" + std::to_string(g + 1);
      l = deck_label(L.names[g], 80 - tail.size()) + tail;
      key = l;
      for (char& c : key) c = (char)std::toupper((unsigned char)c);
    }
    taken.insert(key);
    label[g] = l;
  }

  std::string head = "** pelgrove mesh: " + std::to_string(np) + " points, " + std::to_string(ne) + " elements, " +
                     std::to_string(groups) + " sets\n";
  for (size_t g = 0; g < groups; ++g) {
    if (label[g] == L.names[g]) continue;
    std::string shown = L.names[g];  // printable ASCII in a comment line
    for (char& c : shown)
      if ((unsigned char)c < 0x20 || (unsigned char)c >= 0x7f) c = '_';
    head += "** set " + label[g] + ": part " + shown + "\n";
  }
  head += "*NODE\n";

  const size_t number_max = decimal_digits(std::max(np, ne)) + 2;
  Segments nodes, elements;
  for (const PartRun& r : L.points) nodes.add(r.count[0], size_t(r.count[0]) * (number_max + 3 * 22));
  struct ElementJob {
    const PartRun* run;
    int kind;
    const std::string* head;
  };
  std::vector<ElementJob> element_jobs;
  std::vector<std::string> block_head(5);
  for (int k = 4; k >= 2; --k) {
    block_head[k] = "*ELEMENT, TYPE=" + solver_element_name(k) + "\n";
    const std::string* h = &block_head[k];
    for (const PartRun& r : L.elements) {
      if (r.count[k] == 0) continue;
      element_jobs.push_back({&r, k, h});
      elements.add(r.count[k], size_t(r.count[k]) * (k + 1) * number_max + (h ? h->size() : 0));
      h = nullptr;
    }
  }

  // Sets: each name's element runs, then its points in jobs of bounded length.
  const std::vector<std::vector<long>> points_of = group_points(L, groups);
  std::vector<std::string> set_head(2 * groups);
  std::vector<SetJob> set_jobs;
  Segments sets;
  for (size_t g = 0; g < groups; ++g) {
    set_head[2 * g] = "*ELSET, ELSET=" + label[g] + "\n";
    set_head[2 * g + 1] = "*NSET, NSET=" + label[g] + "\n";
    const std::string* h = &set_head[2 * g];
    for (const PartRun& r : L.elements) {
      if (r.group != (int)g) continue;
      set_jobs.push_back({nullptr, &r, 0, r.elements(), h});
      sets.add(r.elements(), size_t(r.elements()) * number_max + (h ? h->size() : 0));
      h = nullptr;
    }
    const long n = (long)points_of[g].size();
    h = &set_head[2 * g + 1];
    for (long b = 0; b < n; b += Segments::SEGMENT_ITEMS) {
      const long e = std::min(n, b + Segments::SEGMENT_ITEMS);
      set_jobs.push_back({&points_of[g], nullptr, b, e, h});
      sets.add(e - b, size_t(e - b) * number_max + (h ? h->size() : 0));
      h = nullptr;
    }
  }

  // Sections: the thickness and material of a name's first part with faces.
  std::string tail;
  std::vector<char> done(groups, 0);
  for (const PartRun& r : L.elements) {
    if (done[r.group] || r.count[3] + r.count[4] == 0) continue;
    done[r.group] = 1;
    const double t = r.grid->thickness();
    if (!(t > 0)) continue;
    char buf[64];
    tail += "*SHELL SECTION, ELSET=" + label[r.group] + ", MATERIAL=" + deck_label(r.grid->material(), 80) + "\n" +
            std::string(buf, DVK::put_e(buf, t)) + "\n";
  }

  Atomic_File f;
  if (!f.open(path)) return false;
  SegmentBuffers ring;
  bool ok = f.write(head.data(), head.size());
  ok = ok && nodes.write(f, ring, [&](size_t j, char* o) { return put_points(L.points[j], o); });
  ok = ok && elements.write(f, ring, [&](size_t j, char* o) {
    const ElementJob& jb = element_jobs[j];
    if (jb.head) o = std::copy(jb.head->begin(), jb.head->end(), o);
    return put_element_lines(*jb.run, jb.kind, ", ", o);
  });
  ok = ok && sets.write(f, ring, [&](size_t j, char* o) {
    const SetJob& jb = set_jobs[j];
    if (jb.head) o = std::copy(jb.head->begin(), jb.head->end(), o);
    if (jb.ids) return put_numbers(jb.end - jb.begin, [&](long i) { return (*jb.ids)[jb.begin + i]; }, o);
    const long first = jb.run->first + 1;
    return put_numbers(jb.end, [&](long i) { return first + i; }, o);
  });
  ok = ok && f.write(tail.data(), tail.size());
  if (!ok) f.discard();
  return f.commit();
}
