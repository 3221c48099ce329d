// A GDS-II stream is a list of records: a 2-byte big-endian length (header included), a
// record type and a data type byte, then the data. Integers are big-endian and signed;
// reals are 8-byte excess-64 base-16 numbers. Coordinates (4-byte XY pairs) are scaled
// by the library's user units per database unit; every point gets z = 0.
#include "meshio/import_gds.h"

#include "meshio/import_support.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>

namespace {

// data types
enum { NODATA = 0, BITS = 1, INT2 = 2, INT4 = 3, REAL4 = 4, REAL8 = 5, ASCII = 6, ANY = -1 };

// record types read here
enum {
  HEADER = 0x00, BGNLIB = 0x01, LIBNAME = 0x02, UNITS = 0x03, ENDLIB = 0x04, BGNSTR = 0x05, STRNAME = 0x06,
  ENDSTR = 0x07, BOUNDARY = 0x08, PATH = 0x09, SREF = 0x0A, AREF = 0x0B, TEXT = 0x0C, LAYER = 0x0D,
  DATATYPE = 0x0E, WIDTH = 0x0F, XY = 0x10, ENDEL = 0x11, SNAME = 0x12, COLROW = 0x13, NODE = 0x15,
  TEXTTYPE = 0x16, PRESENTATION = 0x17, STRING = 0x19, STRANS = 0x1A, PATHTYPE = 0x21
};

// The data type each known record carries; ANY for records only passed over.
int expected_type(int record) {
  static const int TYPES[0x3C] = {
      INT2,  INT2,  ASCII,  REAL8, NODATA, INT2, ASCII, NODATA, NODATA, NODATA, NODATA, NODATA,  // 00-0B
      NODATA, INT2, INT2,   INT4,  INT4,   NODATA, ASCII, INT2, NODATA, NODATA, INT2, BITS,      // 0C-17
      ANY,   ASCII, BITS,   REAL8, REAL8,  ANY,  ANY,   ASCII,  ASCII,  INT2,   INT2,   ASCII,    // 18-23
      ANY,   ANY,   BITS,   ANY,   ANY,    ANY,  INT2,  INT2,   ASCII,  NODATA, INT2,   INT4,     // 24-2F
      INT4,  INT4,  ANY,    ANY,   ANY,    ANY,  ANY,   ANY,    ANY,    ANY,    ANY,    ANY};     // 30-3B
  return record >= 0 && record < 0x3C ? TYPES[record] : -2;  // -2: unknown record
}

int16_t int2(const unsigned char* p) { return int16_t(uint16_t(p[0] << 8 | p[1])); }
int32_t int4(const unsigned char* p) {
  return int32_t(uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]));
}
// sign bit, 7-bit exponent of 16 biased by 64, 56-bit fraction
double real8(const unsigned char* p) {
  uint64_t mantissa = 0;
  for (int k = 1; k < 8; ++k) mantissa = mantissa << 8 | p[k];
  const double v = std::ldexp((double)mantissa, 4 * ((p[0] & 0x7F) - 64) - 56);
  return p[0] & 0x80 ? -v : v;
}

struct Pt2 {
  double x, y;
};

enum ElementKind { NO_ELEMENT, BOUNDARY_ELEMENT, PATH_ELEMENT, OTHER_ELEMENT };

class GDS_Reader {
public:
  GDS_Reader(std::string_view bytes, std::ostream& log, std::string& why)
      : mData((const unsigned char*)bytes.data()), mSize(bytes.size()), mLog(log), mWhy(why) {}
  bool read();
  std::vector<StagedPart> mParts;

private:
  bool fail(const std::string& what) { return fail_at(mWhy, "record at byte", (long long)mAt, what); }
  bool record(int type, const unsigned char* d, size_t n);
  std::string text(const unsigned char* d, size_t n) const;
  void log_dates(const unsigned char* d, size_t n);
  void add_points(const unsigned char* d, size_t n);
  void end_element();
  void end_boundary();
  void end_path();
  StagedPart& part();

  const unsigned char* mData;
  size_t mSize, mAt = 0;
  std::ostream& mLog;
  std::string& mWhy;
  double mScale = 1;  // user units per database unit
  std::string mStructure, mLayer = "Layer000";
  std::map<std::string, size_t> mPartIndex;  // "structure_layer" -> index in mParts
  // the element being read
  ElementKind mKind = NO_ELEMENT;
  std::vector<Pt2> mXY;
  std::vector<uint32_t> mXYNumbers;  // point numbers of mXY in the part
  size_t mXYPart = 0;
  double mWidth = 0;
  int mPathType = 0;
};

std::string GDS_Reader::text(const unsigned char* d, size_t n) const {
  std::string s;
  for (size_t k = 0; k < n && d[k]; ++k) s += (d[k] > ' ' && d[k] < 127) ? char(d[k]) : '_';
  return s;
}

void GDS_Reader::log_dates(const unsigned char* d, size_t n) {
  const char* what[2] = {"last modified: ", "last accessed: "};
  for (size_t k = 0; k < 2 && n >= 12 * (k + 1); ++k) {
    const unsigned char* p = d + 12 * k;
    char line[96];
    std::snprintf(line, sizeof line, "%d/%02d/%02d %02d:%02d:%02d", int2(p), int2(p + 2), int2(p + 4), int2(p + 6),
                  int2(p + 8), int2(p + 10));
    mLog << what[k] << line << "\n";
  }
}

StagedPart& GDS_Reader::part() { return mParts[part_named(mParts, mPartIndex, mStructure + "_" + mLayer)]; }

// Points of boundaries and paths join the current part as they are read; the
// coordinates of other elements (texts, references) are only logged.
void GDS_Reader::add_points(const unsigned char* d, size_t n) {
  const size_t pairs = n / 8;
  mLog << "XY: " << pairs << " points\n";
  if (mKind != BOUNDARY_ELEMENT && mKind != PATH_ELEMENT) return;
  StagedPart& p = part();
  if (!mXYNumbers.empty() && &p != &mParts[mXYPart]) {  // a layer change inside the element
    mXY.clear();
    mXYNumbers.clear();
  }
  mXYPart = size_t(&p - mParts.data());
  for (size_t k = 0; k < pairs; ++k) {
    const Pt2 q{int4(d + 8 * k) * mScale, int4(d + 8 * k + 4) * mScale};
    mXY.push_back(q);
    mXYNumbers.push_back(p.add_point(q.x, q.y, 0));
  }
}

// The closing point repeats the first; three or four distinct points make an element.
void GDS_Reader::end_boundary() {
  size_t k = mXY.size();
  if (k > 1 && mXY[0].x == mXY[k - 1].x && mXY[0].y == mXY[k - 1].y) --k;
  if (k == 0) return;
  if (k < 3 || k > 4) {
    std::cerr << "Polygon with " << k << (k > 4 ? "(>4)" : "(<3)") << " sides\n";
    return;
  }
  StagedPart& p = mParts[mXYPart];
  p.add_element(k == 3 ? Mesh::TRIANGLE : Mesh::QUADRILATERAL, (uint32_t)p.elements.size() + 1, mXYNumbers.data(),
                (int)k);
}

// One quadrilateral per segment, from its start corners (S-, S+) to its end corners
// (E-, E+), - and + being the right and left offsets by half the width. Where the path
// turns, both segments' corners move to the mitre points, by w/2 tan(turn/2) along each
// segment; turns sharper than about 150 degrees are left unmitred. A path of zero width
// becomes bars.
void GDS_Reader::end_path() {
  const size_t n = mXY.size();
  if (n < 2) return;
  StagedPart& p = mParts[mXYPart];
  if (mWidth == 0) {
    for (size_t k = 1; k < n; ++k) p.add_element(Mesh::LINE, (uint32_t)p.elements.size() + 1, &mXYNumbers[k - 1], 2);
    return;
  }
  const double h = mWidth / 2;
  struct Seg {
    Pt2 u, nrm, s_minus, s_plus, e_minus, e_plus;
  };
  std::vector<Seg> segs(n - 1);
  for (size_t k = 0; k + 1 < n; ++k) {
    Seg& s = segs[k];
    const double dx = mXY[k + 1].x - mXY[k].x, dy = mXY[k + 1].y - mXY[k].y, len = std::hypot(dx, dy);
    s.u = len > 0 ? Pt2{dx / len, dy / len} : Pt2{0, 0};
    s.nrm = {-s.u.y * h, s.u.x * h};
    const Pt2 a = mXY[k], b = mXY[k + 1];
    s.s_minus = {a.x - s.nrm.x, a.y - s.nrm.y};
    s.s_plus = {a.x + s.nrm.x, a.y + s.nrm.y};
    s.e_minus = {b.x - s.nrm.x, b.y - s.nrm.y};
    s.e_plus = {b.x + s.nrm.x, b.y + s.nrm.y};
  }
  for (size_t k = 1; k + 1 < n; ++k) {  // the join at vertex k
    Seg &s1 = segs[k - 1], &s2 = segs[k];
    const double dot = s1.nrm.x * s2.nrm.x + s1.nrm.y * s2.nrm.y, w2 = mWidth * mWidth;
    const double num = w2 - 4 * dot, den = w2 + 4 * dot;
    if ((s1.u.x == 0 && s1.u.y == 0) || (s2.u.x == 0 && s2.u.y == 0) || den <= 1e-12 * w2) continue;
    const double f = std::sqrt(std::max(0.0, num / den));
    if (f > 4) continue;
    const double t = h * f * (s1.u.x * s2.u.y - s1.u.y * s2.u.x >= 0 ? 1 : -1);
    s1.e_plus = {s1.e_plus.x - t * s1.u.x, s1.e_plus.y - t * s1.u.y};
    s1.e_minus = {s1.e_minus.x + t * s1.u.x, s1.e_minus.y + t * s1.u.y};
    s2.s_plus = {s2.s_plus.x + t * s2.u.x, s2.s_plus.y + t * s2.u.y};
    s2.s_minus = {s2.s_minus.x - t * s2.u.x, s2.s_minus.y - t * s2.u.y};
  }
  if (mPathType == 1) std::cerr << "rounded ends NYI... using extended square ends\n";
  if (mPathType == 1 || mPathType == 2) {  // square ends reach half the width beyond the end points
    Seg &first = segs.front(), &last = segs.back();
    for (Pt2* c : {&first.s_minus, &first.s_plus}) *c = {c->x - h * first.u.x, c->y - h * first.u.y};
    for (Pt2* c : {&last.e_minus, &last.e_plus}) *c = {c->x + h * last.u.x, c->y + h * last.u.y};
  }
  for (const Seg& s : segs) {
    uint32_t q[4];
    const Pt2* corners[4] = {&s.s_minus, &s.e_minus, &s.e_plus, &s.s_plus};
    for (int j = 0; j < 4; ++j) q[j] = p.add_point(corners[j]->x, corners[j]->y, 0);
    p.add_element(Mesh::QUADRILATERAL, (uint32_t)p.elements.size() + 1, q, 4);
  }
}

void GDS_Reader::end_element() {
  if (mKind == BOUNDARY_ELEMENT) end_boundary();
  if (mKind == PATH_ELEMENT) end_path();
  mKind = NO_ELEMENT;
  mXY.clear();
  mXYNumbers.clear();
  mWidth = 0;
  mPathType = 0;
}

bool GDS_Reader::record(int type, const unsigned char* d, size_t n) {
  switch (type) {
    case HEADER: mLog << "Version " << (n >= 2 ? int2(d) : 0) << "\n"; break;
    case BGNLIB: log_dates(d, n); break;
    case LIBNAME: mLog << "Library name: " << text(d, n) << "\n"; break;
    case UNITS: {
      if (n < 16) return fail("UNITS record of " + std::to_string(n) + " bytes");
      const double user = real8(d), meters = real8(d + 8);
      if (!std::isfinite(user) || user <= 0 || !std::isfinite(meters) || meters <= 0)
        return fail("UNITS record holds unusable units");
      mScale = user;
      mLog << "1 library unit = " << user << " user units\n1 user    unit = " << meters / user << " meters\n";
      break;
    }
    case BGNSTR: mLog << "Begin Structure\n"; log_dates(d, n); break;
    case STRNAME: mStructure = text(d, n); mLog << "Structure Name: " << mStructure << "\n"; break;
    case ENDSTR: end_element(); mLog << "--- Structure End ---\n"; break;
    case BOUNDARY: end_element(); mKind = BOUNDARY_ELEMENT; mLog << "Begin Boundary Element\n"; break;
    case PATH: end_element(); mKind = PATH_ELEMENT; mLog << "Begin Path Element\n"; break;
    case TEXT: end_element(); mKind = OTHER_ELEMENT; mLog << "Begin Text Element\n"; break;
    case SREF: end_element(); mKind = OTHER_ELEMENT; mLog << "Begin Structure Reference Element\n"; break;
    case AREF: end_element(); mKind = OTHER_ELEMENT; mLog << "Begin Array Reference Element\n"; break;
    case NODE: end_element(); mKind = OTHER_ELEMENT; mLog << "Begin Node\n"; break;
    case SNAME: mLog << "Referenced Structure: " << text(d, n) << "\n"; break;
    case COLROW:
      if (n >= 4) mLog << "Array Size = " << int2(d) << " cols x " << int2(d + 2) << " rows\n";
      break;
    case STRING: mLog << "String to Present: " << text(d, n) << "\n"; break;
    case STRANS: mLog << "Transformation flags " << (n >= 2 ? uint16_t(int2(d)) : 0) << "\n"; break;
    case PRESENTATION: mLog << "received presentation bit flags " << (n >= 2 ? uint16_t(int2(d)) : 0) << "\n"; break;
    case DATATYPE: mLog << " ** DATATYPE entry [0..255] = " << (n >= 2 ? int2(d) : 0) << "\n"; break;
    case TEXTTYPE: mLog << " ** TEXTTYPE entry [0..255] = " << (n >= 2 ? int2(d) : 0) << "\n"; break;
    case LAYER: {
      char name[32];
      std::snprintf(name, sizeof name, "Layer%03d", n >= 2 ? int2(d) : 0);
      mLayer = name;
      mLog << mLayer << "\n";
      break;
    }
    case PATHTYPE:
      mPathType = n >= 2 ? int2(d) : 0;
      mLog << "path type " << mPathType << "\n";
      break;
    case WIDTH:
      mWidth = n >= 4 ? std::fabs((double)int4(d)) * mScale : 0;  // negative: absolute width
      mLog << "width " << mWidth << "\n";
      break;
    case XY: add_points(d, n); break;
    case ENDEL: end_element(); mLog << "... Element End ...\n"; break;
    default:
      if (expected_type(type) == -2) std::cerr << "while reading entities\n\t skipping dataset type " << type << "\n";
      mLog << "skipping " << n << " bytes\n";
  }
  return true;
}

bool GDS_Reader::read() {
  while (mAt < mSize) {
    if (mSize - mAt < 4) return fail("the file ends inside a record header");
    const unsigned char* h = mData + mAt;
    const size_t len = size_t(h[0]) << 8 | h[1];
    const int type = h[2], data = h[3];
    if (len < 4) return fail("record length " + std::to_string(len) + " is shorter than its header");
    if (len > mSize - mAt) return fail("record of " + std::to_string(len) + " bytes runs past the end of the file");
    const int want = expected_type(type);
    if (want >= 0 && want != data) {
      std::cerr << "expexting type " << want << " and stream indicates " << data << " is next\n";
      mLog << "expexting type " << want << " and stream indicates " << data << " is next\n";
      mLog << "skipping " << len - 4 << " bytes\n";
    } else if (type == ENDLIB) {
      end_element();
      mLog << "=== Library End ===\n";
      return true;
    } else if (!record(type, h + 4, len - 4)) {
      return false;
    }
    mAt += len;
  }
  return fail("the file ends before the end of the library (ENDLIB)");
}

}  // namespace

bool GDS::import(std::string_view bytes, std::ostream& log, std::string& why) {
  return stage_import(why, [&](std::vector<StagedPart>& parts) {
    GDS_Reader reader(bytes, log, why);
    if (!reader.read()) return false;
    parts = std::move(reader.mParts);
    return true;
  });
}

// The trace file is made only once the file was read.
bool import_gds(const std::string& name, std::string& why) {
  return import_file(name, why, [](std::string_view bytes, std::string& reason) {
    std::ofstream log("gdsII.log");
    return GDS::import(bytes, log, reason);
  });
}
