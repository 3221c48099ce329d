// Universal file layout: datasets between lines "    -1"; a dataset's first line holds its
// number. Dataset 2411 holds nodes as two-line records (label ..., then x y z written with
// D exponents), 2412 elements (label descriptor property material colour node-count, a
// beam line for bars, then the node labels, eight to a line), 2467 and 2477 groups (a record
// line ending in the entity count, the name, then entities of four numbers, two to a line;
// type 8 is an element). The rest is skipped.
#include "meshio/import_unv.h"

#include "meshio/import_support.h"
#include "util/script_output.h"

#include <algorithm>
#include <iostream>
#include <unordered_map>

namespace {

const std::string_view DELIMITER = "    -1";

struct Kind {
  long long descriptor;
  Mesh::ElementTypeBits bits;
  int count;
  bool beam_line;  // one extra record line before the node labels
  bool volume;
};
const Kind KINDS[] = {{21, Mesh::LINE, 2, true, false},          {91, Mesh::TRIANGLE, 3, false, false},
                      {94, Mesh::QUADRILATERAL, 4, false, false}, {111, Mesh::TETRAHEDRON, 4, false, true},
                      {115, Mesh::HEXAHEDRON, 8, false, true}};

const Kind* find_kind(long long descriptor) {
  for (const Kind& k : KINDS)
    if (k.descriptor == descriptor) return &k;
  return nullptr;
}

bool is_group_dataset(long long n) { return n == 2417 || n == 2429 || n == 2430 || n == 2433 || n == 2435; }

class UNV_Reader {
public:
  UNV_Reader(std::string_view bytes, std::string& why) : mR(bytes), mWhy(why) { mPart.name = "Ungrouped"; }

  bool read();
  StagedPart mPart;
  size_t mVolumes = 0;

private:
  bool fail(const std::string& what) { return fail_at_line(mWhy, mR.last_line(), what); }
  // The next line of the current dataset; false at its closing delimiter (or the end).
  bool record(std::string_view& line) {
    if (!mR.next_line(line)) {
      mCutShort = true;
      return false;
    }
    return line != DELIMITER;
  }
  bool skip_dataset() {
    std::string_view line;
    while (record(line)) {}
    return true;
  }
  bool read_nodes();
  bool read_elements();
  bool read_groups();
  bool node_index(long long label, uint32_t& out);

  TextReader mR;
  std::string& mWhy;
  bool mCutShort = false;  // the file ended inside a dataset
  std::vector<long long> mLabels;  // node label of each point
  bool mLabelsArePositions = true;
  long long mNextElement = 1;
  bool mWarnedOrder = false;

public:
  std::vector<std::pair<std::string, std::vector<long long>>> mGroups;  // name, element labels
};

bool UNV_Reader::read() {
  std::string_view line;
  while (mR.next_line(line)) {
    if (line != DELIMITER) continue;  // text between datasets
    long long number;
    if (!mR.next_line(line)) return fail("a dataset starts at the end of the file");
    if (!parse_number(line, number)) return fail("expected a dataset number");
    bool ok = true;
    if (number == 2411) {
      script_output() << "reading verts..." << std::flush;
      ok = read_nodes();
    } else if (number == 2412) {
      script_output() << " elements..." << std::flush;
      ok = read_elements();
    } else if (number == 2467 || number == 2477) {
      ok = read_groups();
    } else {
      if (is_group_dataset(number)) std::cerr << "WARNING: group importing not yet implemented\n";
      ok = skip_dataset();
    }
    if (!ok) return false;
    if (mCutShort) return fail("dataset " + std::to_string(number) + " is not closed by a line \"    -1\"");
  }
  return true;
}

bool UNV_Reader::read_nodes() {
  std::string_view line;
  while (record(line)) {
    long long label;
    if (!parse_number(line, label)) return fail("expected a node label");
    if (!mLabels.empty() && label <= mLabels.back()) {
      std::cerr << "ERROR... points are not ordered monotonically ordered\n";
      return fail("node " + std::to_string(label) + " follows node " + std::to_string(mLabels.back()));
    }
    if (!record(line)) return fail("node " + std::to_string(label) + " has no coordinate line");
    std::string xyz(line);
    std::replace_if(xyz.begin(), xyz.end(), [](char c) { return c == 'D' || c == 'd'; }, 'e');
    std::string_view rest = xyz;
    double c[3];
    if (!parse_numbers(rest, c, 3)) return fail("expected x y z of node " + std::to_string(label));
    if (!finite_xyz(c[0], c[1], c[2])) return fail(nonfinite_text("node " + std::to_string(label), c[0], c[1], c[2]));
    mPart.add_point(c[0], c[1], c[2]);
    mLabels.push_back(label);
    if (label != (long long)mLabels.size()) mLabelsArePositions = false;
  }
  return true;
}

// Labels equal to positions index directly; others are found by search.
bool UNV_Reader::node_index(long long label, uint32_t& out) {
  if (mLabelsArePositions) {
    if (label < 1 || label > (long long)mLabels.size()) return false;
    out = (uint32_t)label;
    return true;
  }
  auto it = std::lower_bound(mLabels.begin(), mLabels.end(), label);
  if (it == mLabels.end() || *it != label) return false;
  out = uint32_t(it - mLabels.begin() + 1);
  return true;
}

bool UNV_Reader::read_elements() {
  std::string_view line;
  while (record(line)) {
    long long head[6];  // label, descriptor, property, material, colour, node count
    if (!parse_numbers(line, head, 6)) return fail("expected an element record of six numbers");
    const long long label = head[0], count = head[5];
    if (label != mNextElement && !mWarnedOrder) {
      std::cerr << "WARNING... elements are not ordered 1..N\n";
      mWarnedOrder = true;
    }
    ++mNextElement;
    const Kind* kind = find_kind(head[1]);
    if (!kind) {
      std::cerr << "aborting... unknown element type " << head[1] << "\n";
      return fail("element " + std::to_string(label) + " has the unknown type " + std::to_string(head[1]));
    }
    if (count != kind->count)
      return fail("element " + std::to_string(label) + " of type " + std::to_string(head[1]) + " declares " +
                  std::to_string(count) + " nodes, not " + std::to_string(kind->count));
    if (kind->beam_line && !record(line))
      return fail("element " + std::to_string(label) + " has no beam record");
    uint32_t pts[8];
    line = std::string_view();
    for (int j = 0; j < kind->count; ++j) {
      long long node;
      while (!parse_number(line, node)) {
        if (!trim(line).empty()) return fail("expected a node label of element " + std::to_string(label));
        if (!record(line)) return fail("element " + std::to_string(label) + " lacks node labels");
      }
      if (!node_index(node, pts[j]))
        return fail("element " + std::to_string(label) + " names node " + std::to_string(node) +
                    ", which is not defined");
    }
    if (kind->volume) ++mVolumes;
    mPart.add_element(kind->bits, (uint32_t)label, pts, kind->count);
  }
  return true;
}

bool UNV_Reader::read_groups() {
  std::string_view line;
  while (record(line)) {
    long long head[8];  // number, six active sets, entity count
    if (!parse_numbers(line, head, 8)) return fail("expected a group record of eight numbers");
    if (!record(line)) return fail("group " + std::to_string(head[0]) + " has no name");
    std::string title(trim(line));
    if (title.empty()) title = "group " + std::to_string(head[0]);
    auto& [name, labels] = mGroups.emplace_back(title, std::vector<long long>());
    line = std::string_view();
    for (long long k = 0; k < head[7]; ++k) {
      long long entity[4];
      while (!parse_numbers(line, entity, 4)) {
        if (!trim(line).empty()) return fail("expected an entity of group '" + name + "'");
        if (!record(line)) return fail("group '" + name + "' lacks entities");
      }
      if (entity[0] == 8) labels.push_back(entity[1]);
    }
  }
  return true;
}

// One part per group with a copy of every point and the elements it lists; elements of
// no group stay in the first part.
bool split_groups(UNV_Reader& reader, std::vector<StagedPart>& parts, size_t bytes, std::string& why) {
  StagedPart& all = reader.mPart;
  if (!check_point_copies((long long)all.pts.size(), (long long)reader.mGroups.size() + 1, bytes, why)) return false;
  std::unordered_map<long long, size_t> at;
  for (size_t i = 0; i < all.elements.size(); ++i) at.emplace(all.elements[i].id, i);
  std::vector<char> grouped(all.elements.size(), 0);
  for (const auto& [name, labels] : reader.mGroups) {
    StagedPart& p = parts.emplace_back();
    p.name = name;
    p.pts = all.pts;
    for (long long label : labels) {
      auto it = at.find(label);
      if (it == at.end()) return fail_at(why, "group", (long long)parts.size(), "'" + name + "' lists element " + std::to_string(label) + ", which is not defined");
      p.elements.push_back(all.elements[it->second]);
      grouped[it->second] = 1;
    }
  }
  std::vector<Mesh::Element> rest;
  for (size_t i = 0; i < all.elements.size(); ++i)
    if (!grouped[i]) rest.push_back(all.elements[i]);
  all.elements = std::move(rest);
  if (!all.elements.empty()) parts.insert(parts.begin(), std::move(all));
  return true;
}

}  // namespace

// Lines end at a newline; a trailing carriage return is dropped.
bool UNV::import(std::string_view bytes, std::string& why) {
  return stage_import(why, [&](std::vector<StagedPart>& parts) {
    UNV_Reader reader(bytes, why);
    if (!reader.read()) return false;
    script_output() << std::endl;
    warn_volume_elements(reader.mVolumes, reader.mPart.name);
    if (!reader.mGroups.empty()) return split_groups(reader, parts, bytes.size(), why);
    parts.push_back(std::move(reader.mPart));
    return true;
  });
}

bool import_unv(const std::string& name, std::string& why) { return import_file(name, why, UNV::import); }
