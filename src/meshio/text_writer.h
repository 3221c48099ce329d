// text_writer: the engine of the mesh writers. A writer plans its file as jobs (runs of
// lines, in file order) grouped into segments of about 8k lines; the segments are
// formatted on up to four threads and written in order, so a writer costs about the same
// per byte however many items it has. The number conversions (byte for byte those of
// printf) and the line formats every writer shares live here too, so the loops that
// format a run of a part see them inline.
#pragma once

#include "meshio/flat_mesh.h"
#include "util/atomic_file.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

// -- threads

// Threads for formatting, this one included: 1 to 4.
int format_workers();

// Calls fn(i) for every i in [0, n), spread over format_workers() threads.
void for_each_on_cores(size_t n, const std::function<void(size_t)>& fn);

// The buffers of formatted segments; one set serves every stretch of a file.
using SegmentBuffers = std::vector<std::vector<char>>;

// Writes segments [0, n) in order. format(i, out) writes segment i at out, which holds
// bytes_max(i) + 64 bytes (conversions may write blanks past their field), and returns
// its end. Segments are formatted on format_workers() threads, and on this one while it
// has nothing to write, in a window of formatted segments (`ring`) that bounds the memory.
// False at the first failure.
bool write_segments(Atomic_File& out, size_t n, const std::function<size_t(size_t)>& bytes_max,
                    const std::function<char*(size_t, char*)>& format, SegmentBuffers& ring);

// A writer's jobs (runs of lines, numbered from 0 in file order) grouped into segments of
// about SEGMENT_ITEMS lines.
class Segments {
public:
  static constexpr long SEGMENT_ITEMS = 8192;
  // Adds the next job: `items` lines of at most `bytes` in all.
  void add(long items, size_t bytes);
  // Writes every job in order through write_segments; job(j, out) formats job j.
  bool write(Atomic_File& out, SegmentBuffers& ring, const std::function<char*(size_t, char*)>& job) const;

private:
  struct Segment {
    size_t first, last;  // jobs [first, last)
    size_t bytes;        // at most
    long items;
  };
  std::vector<Segment> mList;
  size_t mJobs = 0;
};

// -- numbers; each returns the end of what it wrote and may write up to 8 bytes past it,
// which the next field overwrites

int decimal_digits(uint64_t v);             // digits of v in decimal: 1 to 20
char* put_decimal(char* out, uint64_t v);   // "%lu"
char* put_long(char* out, long v, int width);  // "%<width>ld"
// A point number on a .dvk element line: "%8ld", with a blank before numbers that fill
// the field, so they stay separated.
char* put_point_number(char* out, long v);
char* put_e(char* out, double v);     // "%21.13e"
char* put_real(char* out, double v);  // "%.13e": "%21.13e" without its leading blanks

// -- lines of a run of a part

// A point line: `head`, the point's number (unpadded when number_width is 0, "%<w>ld" when
// w > 0, left out when -1), `after_number`, then x, y and z ("%21.13e", or trimmed when
// `trimmed`) with `sep` between them, and a newline.
struct PointLine {
  const char* head;
  int number_width;
  const char* after_number;
  const char* sep;
  bool trimmed;
};
inline constexpr size_t POINT_LINE_NUMBERS = 3 * 22;  // bytes of the coordinates and their separators, at most
char* put_point_lines(const PartRun& r, const PointLine& style, char* out);

// An element line: head[n] for an element of n points, its number (when `number`), its
// group's number from 1 (when `group`), and its point numbers, each of these after `sep`
// but the first field of a line without a head; unpadded numbers, and a newline.
struct ElementLine {
  const char* head[5];
  bool number, group;
  const char* sep;
};
// The run's written elements of `kind` points (every one when kind is 0), numbered as a
// .dvk export numbers them.
char* put_element_lines(const PartRun& r, int kind, const ElementLine& style, char* out);

// The numbers [first, last), one to a line.
char* put_number_lines(long first, long last, char* out);
// n numbers, `per_line` to a line, separated by commas: ids[i], or first + i when ids is null.
char* put_number_rows(const long* ids, long first, long n, int per_line, char* out);
