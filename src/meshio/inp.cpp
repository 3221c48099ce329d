// export_inp_mesh: an input deck of keyword lines. "*NODE" lists the points; one "*ELEMENT"
// block per element kind (quadrilaterals, triangles, bars) with the type element_name gave
// it; per part name with elements an "*ELSET" of its elements and an "*NSET" of their
// points, and a "*SHELL SECTION" where the part was given a thickness. Points and elements
// are formatted straight from the parts, on every core (text_writer.h).

#include "meshio/inp.h"

#include "grid/Grid.h"
#include "grid/part_properties.h"
#include "meshio/finite_check.h"
#include "meshio/flat_mesh.h"
#include "meshio/text_writer.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <string>
#include <vector>

namespace {

const int PER_LINE = 16;  // numbers on a data line of a set

const PointLine POINT_LINE = {"", 0, ",", ",", false};
const ElementLine ELEMENT_LINE = {{"", "", "", "", ""}, true, false, ", "};

// The numbers of the points a run's elements use, ascending: marked in a table over their
// span when that is short (a part's own points are numbered in a row), sorted otherwise.
std::vector<long> run_points(const PartRun& r) {
  const GridPts& pts = r.grid->mPts;
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

namespace {

std::string upper(std::string s) {
  for (char& c : s) c = (char)std::toupper((unsigned char)c);
  return s;
}

// Set labels: distinct whatever case, numbered where two names would meet.
std::vector<std::string> set_labels(const PartLayout& L, size_t groups) {
  std::vector<std::string> label(groups);
  std::set<std::string> taken;
  for (size_t g = 0; g < groups; ++g) {
    std::string l = deck_label(L.names[g], 80);
    if (taken.count(upper(l))) {
      const std::string tail = "_" + std::to_string(g + 1);
      l = deck_label(L.names[g], 80 - tail.size()) + tail;
    }
    taken.insert(upper(l));
    label[g] = l;
  }
  return label;
}

// The counts, the names that had to change to become labels, and "*NODE".
std::string head_lines(const PartLayout& L, const std::vector<std::string>& label) {
  std::string head = "** pelgrove mesh: " + std::to_string(L.np) + " points, " + std::to_string(L.ne) + " elements, " +
                     std::to_string(label.size()) + " sets\n";
  for (size_t g = 0; g < label.size(); ++g) {
    if (label[g] == L.names[g]) continue;
    std::string shown = L.names[g];  // printable ASCII in a comment line
    for (char& c : shown)
      if ((unsigned char)c < 0x20 || (unsigned char)c >= 0x7f) c = '_';
    head += "** set " + label[g] + ": part " + shown + "\n";
  }
  return head + "*NODE\n";
}

// A run's elements of one kind, after their block's keyword line when `head` is set.
struct ElementJob {
  const PartRun* run;
  int kind;
  const std::string* head;
};

// One "*ELEMENT" block per kind: quadrilaterals, triangles, bars.
std::vector<ElementJob> plan_elements(const PartLayout& L, size_t number_max, std::vector<std::string>& block_head,
                                      Segments& elements) {
  std::vector<ElementJob> jobs;
  block_head.assign(5, "");
  for (int k = 4; k >= 2; --k) {
    block_head[k] = "*ELEMENT, TYPE=" + solver_element_name(k) + "\n";
    const std::string* h = &block_head[k];
    for (const PartRun& r : L.elements) {
      if (r.count[k] == 0) continue;
      jobs.push_back({&r, k, h});
      elements.add(r.count[k], size_t(r.count[k]) * (k + 1) * number_max + (h ? h->size() : 0));
      h = nullptr;
    }
  }
  return jobs;
}

// Sets: each name's element runs, then its points in jobs of bounded length.
std::vector<SetJob> plan_sets(const PartLayout& L, const std::vector<std::vector<long>>& points_of,
                              const std::vector<std::string>& label, size_t number_max,
                              std::vector<std::string>& set_head, Segments& sets) {
  const size_t groups = label.size();
  std::vector<SetJob> jobs;
  set_head.assign(2 * groups, "");
  auto add = [&](const SetJob& jb, long n, const std::string*& h) {
    jobs.push_back(jb);
    sets.add(n, size_t(n) * number_max + (h ? h->size() : 0));
    h = nullptr;
  };
  for (size_t g = 0; g < groups; ++g) {
    set_head[2 * g] = "*ELSET, ELSET=" + label[g] + "\n";
    set_head[2 * g + 1] = "*NSET, NSET=" + label[g] + "\n";
    const std::string* h = &set_head[2 * g];
    for (const PartRun& r : L.elements)
      if (r.group == (int)g) add({nullptr, &r, 0, r.elements(), h}, r.elements(), h);
    const long n = (long)points_of[g].size();
    h = &set_head[2 * g + 1];
    for (long b = 0; b < n; b += Segments::SEGMENT_ITEMS) {
      const long e = std::min(n, b + Segments::SEGMENT_ITEMS);
      add({&points_of[g], nullptr, b, e, h}, e - b, h);
    }
  }
  return jobs;
}

// Sections: the thickness and material of a name's first part with faces.
std::string section_lines(const PartLayout& L, const std::vector<std::string>& label) {
  std::string tail;
  std::vector<char> done(label.size(), 0);
  for (const PartRun& r : L.elements) {
    if (done[r.group] || r.count[3] + r.count[4] == 0) continue;
    done[r.group] = 1;
    const double t = r.grid->thickness();
    if (!(t > 0)) continue;
    char buf[64];
    tail += "*SHELL SECTION, ELSET=" + label[r.group] + ", MATERIAL=" + deck_label(r.grid->material(), 80) + "\n" +
            std::string(buf, put_e(buf, t)) + "\n";
  }
  return tail;
}

char* put_set_job(const SetJob& jb, char* o) {
  if (jb.head) o = std::copy(jb.head->begin(), jb.head->end(), o);
  if (jb.ids) return put_number_rows(jb.ids->data() + jb.begin, 0, jb.end - jb.begin, PER_LINE, o);
  return put_number_rows(nullptr, jb.run->first + 1, jb.end, PER_LINE, o);
}

}  // namespace

bool export_inp_mesh(const char* path, bool) {
  if (!check_finite_mesh(path)) return false;
  PartLayout L;
  if (!layout_grids(L, false)) return false;
  size_t groups = 0;  // names with elements come first
  for (const PartRun& r : L.elements) groups = std::max(groups, size_t(r.group) + 1);
  const std::vector<std::string> label = set_labels(L, groups);
  const std::string head = head_lines(L, label), tail = section_lines(L, label);

  const size_t number_max = decimal_digits(std::max(L.np, L.ne)) + 2;
  Segments nodes, elements, sets;
  for (const PartRun& r : L.points) nodes.add(r.count[0], size_t(r.count[0]) * (number_max + POINT_LINE_NUMBERS));
  std::vector<std::string> block_head, set_head;
  const std::vector<ElementJob> element_jobs = plan_elements(L, number_max, block_head, elements);
  const std::vector<std::vector<long>> points_of = group_points(L, groups);
  const std::vector<SetJob> set_jobs = plan_sets(L, points_of, label, number_max, set_head, sets);

  Atomic_File f;
  if (!f.open(path)) return false;
  SegmentBuffers ring;
  bool ok = f.write(head.data(), head.size());
  ok = ok && nodes.write(f, ring, [&](size_t j, char* o) { return put_point_lines(L.points[j], POINT_LINE, o); });
  ok = ok && elements.write(f, ring, [&](size_t j, char* o) {
    const ElementJob& jb = element_jobs[j];
    if (jb.head) o = std::copy(jb.head->begin(), jb.head->end(), o);
    return put_element_lines(*jb.run, jb.kind, ELEMENT_LINE, o);
  });
  ok = ok && sets.write(f, ring, [&](size_t j, char* o) { return put_set_job(set_jobs[j], o); });
  ok = ok && f.write(tail.data(), tail.size());
  if (!ok) f.discard();
  return f.commit();
}
