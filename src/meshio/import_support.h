// import_support: what every mesh-file reader shares. A file is read whole (up to a size
// limit) into memory and parsed there, so no read can run past its end; parts are staged
// and only made once the whole file was read, so a failed import leaves the part list alone.
#pragma once

#include "grid/Grid.h"
#include "grid/MeshStructs.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <new>
#include <string>
#include <string_view>
#include <vector>

// Files larger than this are refused before they are read.
const size_t MAX_IMPORT_BYTES = size_t(128) << 20;

// -- reading
// Reads the whole file into `bytes`; false with the reason in `why`.
bool load_import_file(const std::string& name, std::string& bytes, std::string& why);
// Reads the named file whole and hands its bytes to `read`; false with the reason in `why`.
bool import_file(const std::string& name, std::string& why, bool (*read)(std::string_view, std::string&));

// Words, numbers and lines of a text held in memory. Blanks and newlines separate words;
// a number ends at the first character that cannot continue it.
class TextReader {
public:
  explicit TextReader(std::string_view text)
      : mP(text.data()), mBegin(text.data()), mEnd(text.data() + text.size()) {}

  bool at_end() const { return mP == mEnd; }
  size_t left() const { return size_t(mEnd - mP); }
  int line();  // 1-based line of the next unread character
  int last_line() const { return mLastLine; }  // line next_line returned last; 0 before any
  // The rest of the current line, without its newline or a trailing carriage return;
  // false at the end of the text.
  bool next_line(std::string_view& out);
  bool skip_line();
  bool read(long long& v);
  bool read(double& v);
  bool read(std::string& word);

private:
  void skip_blanks();
  bool start();
  template <typename T>
  bool read_number(T& v);

  const char* mP;
  const char* mBegin;
  const char* mEnd;
  const char* mCounted = mBegin;  // newlines before this point are counted in mLines
  int mLines = 1;
  int mLastLine = 0;
};

// A number at the start of `text` (after blanks); the rest follows in `text`.
bool parse_number(std::string_view& text, long long& v);
bool parse_number(std::string_view& text, double& v);
// `n` numbers at the start of `text`; false at the first that is missing.
template <typename T>
bool parse_numbers(std::string_view& text, T* out, int n) {
  for (int k = 0; k < n; ++k)
    if (!parse_number(text, out[k])) return false;
  return true;
}
std::string_view trim(std::string_view text);
// Numbers beyond the largest double read as infinite, and "nan" and "inf" read as such:
// every reader checks its coordinates with these and refuses the file at the first that
// is not finite.
inline bool finite_xyz(double x, double y, double z) { return x * 0 + y * 0 + z * 0 == 0; }
// "<what> is not finite: x y z"
std::string nonfinite_text(const std::string& what, double x, double y, double z);
// At most `max` bytes of `text` to quote in a message, with control and non-ASCII bytes as '_',
// so a binary file cannot put escape sequences or broken characters on the user's terminal.
std::string quoted_excerpt(std::string_view text, size_t max);

// -- failures
// Sets `why` to "<place> <at>: <what>" ("line 12: ...", "record at byte 80: ...");
// returns false, so a reader can return its result.
bool fail_at(std::string& why, const char* place, long long at, const std::string& what);
inline bool fail_at_line(std::string& why, long long line, const std::string& what) {
  return fail_at(why, "line", line, what);
}
// A count from a header whose entries take at least `min_bytes` each: false, with
// "<n> <what> cannot be held by the rest of the file" in `reason`, when it is negative,
// beyond 32-bit point numbers or more than the `left` bytes can hold.
bool check_count(long long n, const char* what, long long min_bytes, size_t left, std::string& reason);
// A 1-based number that must name one of `count` entries: false, with
// "<what> <v> is not one of the <count>" in `reason`, when it does not.
bool check_index(long long v, long long count, const std::string& what, std::string& reason);
// Formats that give every part a full copy of the point list: false (with the reason)
// when `npts` copies for each of `nparts` parts are out of proportion to a file of `bytes`.
bool check_point_copies(long long npts, long long nparts, size_t bytes, std::string& why);

// -- staging
struct StagedPart {
  std::string name;
  GridPts pts;                         // ids 1..n in order
  std::vector<Mesh::Element> elements;  // point numbers are 1-based indices into pts

  uint32_t add_point(double x, double y, double z);  // returns its 1-based number
  // n point numbers (1-based, checked by the reader) as an element of basic type `bits`.
  void add_element(Mesh::ElementTypeBits bits, uint32_t id, const uint32_t* pts, int n);
};

// The part named `name`, added at the end of `parts` the first time the name is asked
// for; `index` maps names to their positions.
size_t part_named(std::vector<StagedPart>& parts, std::map<std::string, size_t>& index, const std::string& name);

// Makes one RawGrid per staged part, in order, moving the points and elements over.
void commit_parts(std::vector<StagedPart>& parts);

// Runs `read(parts)` on an empty list and makes the parts it staged when it returns true.
// Running out of memory fails the import with `out_of_memory` in `why`.
template <typename Read>
bool stage_import(std::string& why, Read read, const std::string& out_of_memory = "not enough memory") {
  try {
    std::vector<StagedPart> parts;
    if (!read(parts)) return false;
    commit_parts(parts);
  } catch (const std::bad_alloc&) {
    why = out_of_memory;
    return false;
  }
  return true;
}

// Volume elements (tetrahedra, hexahedra) stay in their part but are no surface
// elements; one warning on standard error says how many a file had.
void warn_volume_elements(size_t count, const std::string& part);
