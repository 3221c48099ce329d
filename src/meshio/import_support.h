// import_support: what every mesh-file reader shares. A file is read whole (up to a size
// limit) into memory and parsed there, so no read can run past its end; parts are staged
// and only made once the whole file was read, so a failed import leaves the part list alone.
#pragma once

#include "grid/Grid.h"
#include "grid/MeshStructs.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Files larger than this are refused before they are read.
const size_t MAX_IMPORT_BYTES = size_t(128) << 20;

// -- reading
// Reads the whole file into `bytes`; false with the reason in `why`.
bool load_import_file(const std::string& name, std::string& bytes, std::string& why);

// Words, numbers and lines of a text held in memory. Blanks and newlines separate words;
// a number ends at the first character that cannot continue it.
class TextReader {
public:
  explicit TextReader(std::string_view text)
      : mP(text.data()), mBegin(text.data()), mEnd(text.data() + text.size()) {}

  bool at_end() const { return mP == mEnd; }
  size_t left() const { return size_t(mEnd - mP); }
  int line();  // 1-based line of the next unread character
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

  const char* mP;
  const char* mBegin;
  const char* mEnd;
  const char* mCounted = mBegin;  // newlines before this point are counted in mLines
  int mLines = 1;
};

// A number at the start of `text` (after blanks); the rest follows in `text`.
bool parse_number(std::string_view& text, long long& v);
bool parse_number(std::string_view& text, double& v);
std::string_view trim(std::string_view text);

// -- staging
struct StagedPart {
  std::string name;
  std::vector<GridPt> pts;             // ids 1..n in order
  std::vector<Mesh::Element> elements;  // point numbers are 1-based indices into pts

  uint32_t add_point(double x, double y, double z);  // returns its 1-based number
  // n point numbers (1-based, checked by the reader) as an element of basic type `bits`.
  void add_element(Mesh::ElementTypeBits bits, uint32_t id, const uint32_t* pts, int n);
};

// Makes one RawGrid per staged part, in order, moving the points and elements over.
void commit_parts(std::vector<StagedPart>& parts);

// Formats that give every part a full copy of the point list: false (with the reason)
// when `npts` copies for each of `nparts` parts are out of proportion to a file of `bytes`.
bool check_point_copies(long long npts, long long nparts, size_t bytes, std::string& why);

// Volume elements (tetrahedra, hexahedra) stay in their part but are no surface
// elements; one warning on standard error says how many a file had.
void warn_volume_elements(size_t count, const std::string& part);
