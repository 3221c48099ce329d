#include "meshio/import_support.h"

#include "grid/RawGrid.h"
#include "grid/finite_points.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <iostream>
#include <type_traits>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Opened without blocking, so a FIFO with no writer is refused at once instead of waiting.
bool load_import_file(const std::string& name, std::string& bytes, std::string& why) {
  const int fd = open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    why = "the file cannot be opened";
    return false;
  }
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    why = "not a regular file";
    return false;
  }
  if ((unsigned long long)st.st_size > MAX_IMPORT_BYTES) {
    close(fd);
    why = "the file holds " + std::to_string((long long)st.st_size) + " bytes, more than the " +
          std::to_string(MAX_IMPORT_BYTES) + " an import reads";
    return false;
  }
  bytes.resize((size_t)st.st_size);
  size_t got = 0;
  bool failed = false;
  while (got < bytes.size()) {
    const ssize_t n = read(fd, bytes.data() + got, bytes.size() - got);
    if (n < 0 && errno == EINTR) continue;
    failed = n < 0;
    if (n <= 0) break;
    got += (size_t)n;
  }
  close(fd);
  bytes.resize(got);  // a file that shrank while read is taken as far as it went
  if (failed) {
    why = "the file cannot be read";
    return false;
  }
  return true;
}

bool import_file(const std::string& name, std::string& why, bool (*read)(std::string_view, std::string&)) {
  std::string bytes;
  return load_import_file(name, bytes, why) && read(bytes, why);
}

// -- TextReader

namespace {
bool blank(char c) { return c == ' ' || c == '\n' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

// from_chars without a leading '+', which text files may carry and it refuses. A real
// beyond the double range reads as strtod reads it: infinite, or 0 or subnormal when tiny.
template <typename T>
const char* parse(const char* p, const char* end, T& v) {
  if (p < end && *p == '+' && p + 1 < end && p[1] != '-' && p[1] != '+') ++p;
  auto [next, ec] = std::from_chars(p, end, v);
  if constexpr (std::is_floating_point_v<T>)
    if (ec == std::errc::result_out_of_range) {
      v = std::strtod(std::string(p, next).c_str(), nullptr);
      return next;
    }
  return ec == std::errc() ? next : nullptr;
}
}  // namespace

// The reader only moves forward, so counting on from the last call keeps this linear.
int TextReader::line() {
  mLines += (int)std::count(mCounted, mP, '\n');
  mCounted = mP;
  return mLines;
}

bool TextReader::next_line(std::string_view& out) {
  if (mP == mEnd) return false;
  mLastLine = line();
  const char* b = mP;
  while (mP < mEnd && *mP != '\n') ++mP;
  const char* e = mP;
  if (mP < mEnd) ++mP;
  if (e > b && e[-1] == '\r') --e;
  out = std::string_view(b, size_t(e - b));
  return true;
}

bool TextReader::skip_line() {
  std::string_view ignored;
  return next_line(ignored);
}

void TextReader::skip_blanks() {
  while (mP < mEnd && blank(*mP)) ++mP;
}

bool TextReader::start() {
  skip_blanks();
  return mP < mEnd;
}

template <typename T>
bool TextReader::read_number(T& v) {
  if (!start()) return false;
  const char* next = parse(mP, mEnd, v);
  if (!next) return false;
  mP = next;
  return true;
}

bool TextReader::read(long long& v) { return read_number(v); }
bool TextReader::read(double& v) { return read_number(v); }

bool TextReader::read(std::string& word) {
  skip_blanks();
  const char* b = mP;
  while (mP < mEnd && !blank(*mP)) ++mP;
  word.assign(b, mP);
  return mP > b;
}

template <typename T>
static bool parse_view(std::string_view& text, T& v) {
  const char* p = text.data();
  const char* end = p + text.size();
  while (p < end && blank(*p)) ++p;
  const char* next = parse(p, end, v);
  if (!next) return false;
  text = std::string_view(next, size_t(end - next));
  return true;
}

bool parse_number(std::string_view& text, long long& v) { return parse_view(text, v); }
bool parse_number(std::string_view& text, double& v) { return parse_view(text, v); }

std::string quoted_excerpt(std::string_view text, size_t max) {
  std::string s(text.substr(0, max));
  for (char& c : s)
    if (static_cast<unsigned char>(c) < ' ' || static_cast<unsigned char>(c) >= 127) c = '_';
  return s;
}

std::string_view trim(std::string_view text) {
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

std::string nonfinite_text(const std::string& what, double x, double y, double z) {
  return what + " is not finite: " + xyz_text(x, y, z);
}

// -- failures

bool fail_at(std::string& why, const char* place, long long at, const std::string& what) {
  why = std::string(place) + " " + std::to_string(at) + ": " + what;
  return false;
}

bool check_count(long long n, const char* what, long long min_bytes, size_t left, std::string& reason) {
  if (n >= 0 && n <= UINT32_MAX - 1 && (double)n * (double)min_bytes <= (double)left + 1) return true;
  reason = std::to_string(n) + " " + what + " cannot be held by the rest of the file";
  return false;
}

bool check_index(long long v, long long count, const std::string& what, std::string& reason) {
  if (v >= 1 && v <= count) return true;
  reason = what + " " + std::to_string(v) + " is not one of the " + std::to_string(count);
  return false;
}

// A copy of a point costs about fifty bytes: allow four copies per byte of file beyond a
// small allowance, so memory stays proportional to the file.
bool check_point_copies(long long npts, long long nparts, size_t bytes, std::string& why) {
  const double copies = (double)npts * (double)nparts;
  if (copies <= 65536.0 + 4.0 * (double)bytes) return true;
  why = std::to_string(nparts) + " parts of " + std::to_string(npts) +
        " points each are out of proportion to a file of " + std::to_string(bytes) + " bytes";
  return false;
}

// -- staging

uint32_t StagedPart::add_point(double x, double y, double z) {
  GridPt p;
  p.x = x;
  p.y = y;
  p.z = z;
  p.id = (int64_t)pts.size() + 1;
  pts.push_back(p);
  return (uint32_t)pts.size();
}

void StagedPart::add_element(Mesh::ElementTypeBits bits, uint32_t id, const uint32_t* p, int n) {
  Mesh::Element e;
  e.type = Mesh::type(bits, 1, 0);
  e.id = id;
  std::copy(p, p + n, e.pts);
  elements.push_back(e);
}

size_t part_named(std::vector<StagedPart>& parts, std::map<std::string, size_t>& index, const std::string& name) {
  auto [it, added] = index.emplace(name, parts.size());
  if (added) parts.emplace_back().name = name;
  return it->second;
}

void commit_parts(std::vector<StagedPart>& parts) {
  for (StagedPart& s : parts) {
    RawGrid* g = new RawGrid(s.name);
    g->mPts = std::move(s.pts);
    g->elements = std::move(s.elements);
  }
  parts.clear();
}

void warn_volume_elements(size_t count, const std::string& part) {
  if (count == 0) return;
  std::cerr << "WARNING... " << count << " volume elements (tetrahedra, hexahedra) kept in part '" << part
            << "' are skipped as surface elements\n";
}
