// A DXF file is a list of pairs: a group-code line and a value line. Code 0 starts a
// section, an entity or the end ("EOF"); inside an entity code 8 names the layer and
// codes 10-13, 20-23, 30-33 give x, y, z of corners 0-3.
#include "meshio/import_dxf.h"

#include "meshio/import_support.h"

#include <iostream>
#include <map>
#include <set>

namespace {

// Codes of the entities read here that carry no geometry: handles, linetype, colour,
// flags, subclass markers, extrusion, owners, comments.
const std::set<long long> NO_GEOMETRY = {5,  6,  7,  39,  40,  41,  42,  50,  62,  66,  67,  70,  71, 72,
                                         73, 74, 75, 100, 210, 220, 230, 330, 360, 370, 420, 440, 999};

struct Corner {
  double x = 0, y = 0, z = 0;
  bool complete = false;  // its z code was read
};

struct Entity {
  std::string type;
  std::string layer = "0";
  Corner corners[4];
  int number = 0;  // 1-based position in the entities section

  int corner_count() const {
    int n = 0;
    while (n < 4 && corners[n].complete) ++n;
    return n;
  }
};

class DXF_Reader {
public:
  DXF_Reader(std::string_view bytes, std::string& why) : mR(bytes), mWhy(why) {}
  bool read();
  std::vector<StagedPart> mParts;

private:
  enum Got { END, PAIR, BAD };
  Got pair();
  bool fail(const std::string& what) { return fail_at_line(mWhy, mPairLine, what); }
  bool skip_section(const std::string& name);
  bool read_entities();
  bool read_code(Entity& e);
  void finish(const Entity& e);
  void finish_face(const Entity& e);
  void finish_polyline();
  size_t part_for(const std::string& layer);

  TextReader mR;
  std::string& mWhy;
  int mPairLine = 0;
  long long mCode = 0;
  std::string_view mValue;
  std::map<std::string, size_t> mLayers;  // layer name -> index in mParts
  // the polyline being read: its part and the point numbers of its vertices
  bool mInPolyline = false;
  size_t mPolylinePart = 0;
  std::vector<uint32_t> mVertices;
  Entity mPolyline;
};

DXF_Reader::Got DXF_Reader::pair() {
  std::string_view code, value;
  mPairLine = mR.line();
  if (!mR.next_line(code)) return END;
  if (!mR.next_line(value)) {
    fail("group code without a value line");
    return BAD;
  }
  code = trim(code);
  std::string_view rest = code;
  if (!parse_number(rest, mCode) || !rest.empty()) {
    fail("expected a group code, found '" + quoted_excerpt(code, 40) + "'");
    return BAD;
  }
  mValue = trim(value);
  return PAIR;
}

bool DXF_Reader::read() {
  for (;;) {
    const Got got = pair();
    if (got == BAD) return false;
    if (got == END) return fail("the file ends before its EOF marker");
    if (mCode == 999) continue;
    if (mCode != 0) {
      std::cerr << "aborting at dataset type " << mCode << "\n" << mValue << "\n";
      return fail("unexpected group code " + std::to_string(mCode));
    }
    if (mValue == "EOF") {
      std::cerr << "done importing DXF\n";
      return true;
    }
    if (mValue != "SECTION") {
      std::cerr << "section 0 type " << mValue << " not processed\n";
      continue;
    }
    const Got named = pair();
    if (named == BAD) return false;
    if (named == END || mCode != 2) return fail("expected the name of a section (group code 2)");
    const std::string name(mValue);
    if (!(name == "ENTITIES" ? read_entities() : skip_section(name))) return false;
  }
}

// HEADER, TABLES, BLOCKS and any other section are passed over up to their ENDSEC.
bool DXF_Reader::skip_section(const std::string& name) {
  for (;;) {
    const Got got = pair();
    if (got == BAD) return false;
    if (got == END) return fail("section " + name + " is not closed by ENDSEC");
    if (mCode == 0 && mValue == "ENDSEC") return true;
  }
}

size_t DXF_Reader::part_for(const std::string& layer) { return part_named(mParts, mLayers, layer); }

bool DXF_Reader::read_entities() {
  Entity e;
  int count = 0;
  for (;;) {
    const Got got = pair();
    if (got == BAD) return false;
    if (got == END) return fail("section ENTITIES is not closed by ENDSEC");
    if (mCode == 0) {
      finish(e);
      if (mValue == "ENDSEC") {
        if (mInPolyline) finish_polyline();  // a polyline without SEQEND
        return true;
      }
      e = Entity();
      e.type = mValue;
      e.number = ++count;
    } else if (!read_code(e)) {
      return false;
    }
  }
}

// One pair inside an entity. Entities that make no elements are passed over whole.
bool DXF_Reader::read_code(Entity& e) {
  if (e.type != "3DFACE" && e.type != "POLYLINE" && e.type != "VERTEX" && e.type != "SEQEND") return true;
  const long long axis = mCode / 10, k = mCode % 10;
  if (mCode == 8) {
    e.layer = mValue.empty() ? "0" : std::string(mValue);
  } else if (axis >= 1 && axis <= 3 && k <= 3) {
    double v;
    std::string_view rest = mValue;
    if (!parse_number(rest, v) || !trim(rest).empty())
      return fail("expected a coordinate for group code " + std::to_string(mCode) + ", found '" +
                  quoted_excerpt(mValue, 40) + "'");
    if (!finite_xyz(v, 0, 0))
      return fail("the coordinate for group code " + std::to_string(mCode) + " is not finite: '" +
                  quoted_excerpt(mValue, 40) + "'");
    Corner& c = e.corners[k];
    (axis == 1 ? c.x : axis == 2 ? c.y : c.z) = v;
    if (axis == 3) c.complete = true;
  } else if (!NO_GEOMETRY.count(mCode)) {
    std::cerr << "while reading entities\n\taborting at dataset type " << mCode << "\n" << mValue << "\n";
    return fail("unexpected group code " + std::to_string(mCode) + " in a " + e.type + " entity");
  }
  return true;
}

void DXF_Reader::finish(const Entity& e) {
  if (e.type == "3DFACE") {
    finish_face(e);
  } else if (e.type == "POLYLINE") {
    if (mInPolyline) finish_polyline();
    mInPolyline = true;
    mPolyline = e;
    mPolylinePart = part_for(e.layer);
    mVertices.clear();
  } else if (e.type == "VERTEX" && mInPolyline && e.corners[0].complete) {
    // a vertex stays in its polyline's part, whatever layer it names
    const Corner& c = e.corners[0];
    mPolyline.corners[0] = c;
    mVertices.push_back(mParts[mPolylinePart].add_point(c.x, c.y, c.z));
  } else if (e.type == "SEQEND" && mInPolyline) {
    finish_polyline();
  }
}

void warn_unknown(const Entity& e, int count) {
  const double z = count > 0 ? e.corners[count - 1].z : 0;
  std::cerr << "unknown element " << e.number << "[" << count << " pts] w/ final z=" << z << "\n";
}

// A fourth corner equal to the third is the usual way to write a triangle.
void DXF_Reader::finish_face(const Entity& e) {
  int n = e.corner_count();
  if (n == 4) {
    const Corner &c = e.corners[2], &d = e.corners[3];
    if (c.x == d.x && c.y == d.y && c.z == d.z) n = 3;
  }
  if (n < 3) return warn_unknown(e, n);
  StagedPart& part = mParts[part_for(e.layer)];
  uint32_t pts[4];
  for (int j = 0; j < n; ++j) pts[j] = part.add_point(e.corners[j].x, e.corners[j].y, e.corners[j].z);
  part.add_element(n == 3 ? Mesh::TRIANGLE : Mesh::QUADRILATERAL, (uint32_t)part.elements.size() + 1, pts, n);
}

void DXF_Reader::finish_polyline() {
  mInPolyline = false;
  if (mVertices.size() < 2) return warn_unknown(mPolyline, (int)mVertices.size());
  StagedPart& part = mParts[mPolylinePart];
  for (size_t j = 1; j < mVertices.size(); ++j)
    part.add_element(Mesh::LINE, (uint32_t)part.elements.size() + 1, &mVertices[j - 1], 2);
}

}  // namespace

bool DXF::import(std::string_view bytes, std::string& why) {
  return stage_import(why, [&](std::vector<StagedPart>& parts) {
    DXF_Reader reader(bytes, why);
    if (!reader.read()) return false;
    parts = std::move(reader.mParts);
    return true;
  });
}

bool import_dxf(const std::string& name, std::string& why) { return import_file(name, why, DXF::import); }
