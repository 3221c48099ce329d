// DVK::import: reads an ascii mesh file back as one RawGrid per group, each group holding
// a full copy of the point list (merging joins the copies). Counts are checked against the
// bytes left before anything is allocated; failures are described on standard error.
#include "meshio/dvk.h"

#include "grid/MeshStructs.h"
#include "grid/RawGrid.h"

#include <charconv>
#include <climits>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <new>
#include <string>
#include <vector>

namespace {

// A RawGrid whose name the group section sets after its elements were read.
class DVK_Part : public RawGrid {
public:
  using RawGrid::RawGrid;
  void rename(const std::string& name) { mName = name; }
};

// Reads the words and numbers of a text held in memory, with the stream extraction's
// rules: blanks and newlines separate, a number ends at the first character that cannot
// continue it.
class Reader {
public:
  explicit Reader(const std::string& text) : mP(text.data()), mEnd(text.data() + text.size()) {}

  bool skip_line() {
    while (mP < mEnd && *mP != '\n') ++mP;
    if (mP == mEnd) return false;
    ++mP;
    return true;
  }
  size_t left() const { return (size_t)(mEnd - mP); }

  bool read(long long& v) {
    if (!start()) return false;
    auto [end, ec] = std::from_chars(mP, mEnd, v);
    if (ec != std::errc()) return false;
    mP = end;
    return true;
  }
  bool read(double& v) {
    if (!start()) return false;
    auto [end, ec] = std::from_chars(mP, mEnd, v);
    if (ec != std::errc()) return false;
    mP = end;
    return true;
  }
  bool read(std::string& w) {
    skip_blanks();
    const char* b = mP;
    while (mP < mEnd && !blank(*mP)) ++mP;
    w.assign(b, mP);
    return mP > b;
  }

private:
  static bool blank(char c) { return c == ' ' || c == '\n' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }
  void skip_blanks() {
    while (mP < mEnd && blank(*mP)) ++mP;
  }
  // Skips blanks and a '+' sign, which extraction accepts and from_chars does not.
  bool start() {
    skip_blanks();
    if (mP < mEnd && *mP == '+' && mP + 1 < mEnd && *(mP + 1) != '-' && *(mP + 1) != '+') ++mP;
    return mP < mEnd;
  }

  const char* mP;
  const char* mEnd;
};

bool read_all(std::istream& in, std::string& text) {
  char buf[1 << 16];
  while (in.read(buf, sizeof buf) || in.gcount() > 0) text.append(buf, (size_t)in.gcount());
  return !in.bad();
}

// Parts and points are made before they are read, so their counts must fit the bytes
// left: a point line ("1 0 0 0") takes at least 8, and each group at least one. Elements
// are only appended as they are read.
const long long MIN_POINT_BYTES = 8, MIN_GROUP_BYTES = 1;
const long long MAX_POINT_COPIES = 1ll << 23;

bool check_counts(long long np, long long ne, long long ng, size_t left) {
  if (np < 0 || ne < 0 || ng < 0) {
    std::cerr << "reading DVK file failed: negative count in the header (" << np << " " << ne << " " << ng
              << ")\n";
    return false;
  }
  if (ng == 0 && ne > 0) {
    std::cerr << "reading DVK file failed: " << ne << " elements declared but no group to hold them\n";
    return false;
  }
  const double need = (double)np * MIN_POINT_BYTES + (double)ng * MIN_GROUP_BYTES;
  if (np > INT_MAX || ne > INT_MAX || ng > INT_MAX || need > (double)left + 1) {
    std::cerr << "reading DVK file failed: the header declares " << np << " points and " << ng
              << " groups, more than the " << left << " bytes that follow can hold\n";
    return false;
  }
  const double copies = (double)np * (double)ng;
  if (copies > (double)MAX_POINT_COPIES && copies > 32.0 * (double)left) {
    std::cerr << "reading DVK file failed: " << ng << " groups of " << np << " points each are too many\n";
    return false;
  }
  return true;
}

struct Shape {
  const char* word;
  int count;
  Mesh::ElementTypeBits bits;
};
const Shape SHAPES[] = {{"bar", 2, Mesh::LINE}, {"triangle", 3, Mesh::TRIANGLE}, {"quadrilateral", 4, Mesh::QUADRILATERAL}};

const Shape* find_shape(const std::string& word, long long count) {
  for (const Shape& s : SHAPES)
    if (word == s.word && count == s.count) return &s;
  return nullptr;
}

// Groups numbered outside 1..NG fall into the last group.
size_t group_index(long long g, size_t ng) { return g >= 1 && g <= (long long)ng ? (size_t)(g - 1) : ng - 1; }

bool read_points(Reader& r, long long np, std::vector<DVK_Part*>& parts) {
  std::vector<GridPt> scratch;
  std::vector<GridPt>& pts = parts.empty() ? scratch : parts[0]->mPts;
  pts.resize((size_t)np);
  long long i = 1;
  for (; i <= np; ++i) {
    long long number;
    GridPt& p = pts[(size_t)(i - 1)];
    if (!r.read(number) || !r.read(p.x) || !r.read(p.y) || !r.read(p.z) || number != i) {
      p = GridPt();
      break;
    }
    p.id = i;
  }
  // Every group holds the points read so far; the rest stay at the origin.
  for (size_t k = 1; k < parts.size(); ++k) parts[k]->mPts = pts;
  return i > np;
}

bool read_elements(Reader& r, long long ne, long long np, std::vector<DVK_Part*>& parts) {
  for (long long k = 1; k <= ne; ++k) {
    std::string word;
    long long number = 0, count = 0, group = 0;
    int got = 0;
    if (r.read(word) && ++got && r.read(number) && ++got && r.read(count) && ++got && r.read(group)) ++got;
    if (got < 4) {
      std::cerr << "reading DVK file failed at element declaration for #" << k
                << "\nthe following values may not have been correctly read:\n\t";
      if (got > 0) std::cerr << word;
      if (got > 1) std::cerr << " " << number;
      if (got > 2) std::cerr << " " << count;
      std::cerr << "\n";
      return false;
    }
    const Shape* shape = find_shape(word, count);
    if (!shape) {
      std::cerr << "reading DVK file failed at element declaration #" << k << "\n'" << word
                << "' is an unknown type\n";
      return false;
    }
    long long pts[4] = {0, 0, 0, 0};
    bool ok = true;
    for (int j = 0; j < shape->count && ok; ++j) ok = r.read(pts[j]);
    if (!ok) {
      std::cerr << "reading DVK file failed at " << shape->word << " points for #" << k
                << "\nthe following values may not have been correctly read:\n\t";
      for (int j = 0; j < shape->count; ++j) std::cerr << (j ? " " : "") << pts[j];
      std::cerr << "\n";
      return false;
    }
    Mesh::Element e;
    e.type = Mesh::type(shape->bits, 1, 0);
    e.id = (uint32_t)number;
    for (int j = 0; j < shape->count; ++j) {
      if (pts[j] < 1 || pts[j] > np) {
        std::cerr << "reading DVK file failed at " << shape->word << " points for #" << k << "\npoint number "
                  << pts[j] << " is not one of the " << np << " points\n";
        return false;
      }
      e.pts[j] = (uint32_t)pts[j];
    }
    parts[group_index(group, parts.size())]->elements.push_back(e);
  }
  return true;
}

bool read_groups(Reader& r, std::vector<DVK_Part*>& parts) {
  for (size_t k = 0; k < parts.size(); ++k) {
    long long group;
    std::string name;
    if (!r.read(group) || !r.read(name)) return false;
    parts[group_index(group, parts.size())]->rename(name);
  }
  return true;
}

}  // namespace

bool DVK::import(std::istream& in) {
  std::string text;
  if (!read_all(in, text)) return false;
  Reader r(text);
  long long np, ne, ng;
  if (!r.skip_line() || !r.read(np) || !r.read(ne) || !r.read(ng)) return false;
  if (!check_counts(np, ne, ng, r.left())) return false;

  std::vector<DVK_Part*> parts;
  try {
    std::cout << "reading verts..." << std::flush;
    for (long long k = 0; k < ng; ++k) {
      parts.push_back(new DVK_Part("anonymous surface"));
      parts.back()->mPts.reserve((size_t)np);
    }
    if (!read_points(r, np, parts)) return false;
    std::cout << " elements..." << std::flush;
    if (!read_elements(r, ne, np, parts)) return false;
    if (!read_groups(r, parts)) return false;
  } catch (const std::bad_alloc&) {
    std::cerr << "reading DVK file failed: not enough memory for " << ng << " groups of " << np << " points\n";
    return false;
  }
  std::cout << std::endl;
  return true;
}

bool import_dvk(const std::string& name) {
  std::ifstream in(name);
  if (!in) return false;
  return DVK::import(in);
}
