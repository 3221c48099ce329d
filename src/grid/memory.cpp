#include "grid/memory.h"

#include "grid/Grid.h"
#include "util/message.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace {

// Merging keeps about this much per point of the model: its entry in the merger (8), its
// slots in the hashes of two cell levels (12 each), and the part's visiting order and
// cell cache (20).
constexpr double kMergeBytesPerPoint = 52;

bool gOutOfMemory = false;
double gMemoryLimit = 0;

// Pages mapped and resident, from /proc/self/statm; zeros where it cannot be read.
void mapped_and_resident(double& mapped, double& resident) {
  mapped = resident = 0;
  FILE* f = std::fopen("/proc/self/statm", "r");
  if (!f) return;
  long size = 0, rss = 0;
  if (std::fscanf(f, "%ld %ld", &size, &rss) == 2) {
    const double page = (double)sysconf(_SC_PAGESIZE);
    mapped = size * page;
    resident = rss * page;
  }
  std::fclose(f);
}

// Points of all parts. Parts are only ever appended and only the newest still grows, so
// the total of all but the newest is kept and redone only when the list was cut back:
// constant time per part for a model of many small parts.
struct Counted {
  size_t grids = 0;         // leading parts summed in `points`
  const Grid* last = nullptr;  // the last of them, to notice a new list
  double points = 0;
};
Counted gCounted;

double model_points() {
  const auto& grids = Grid::gGrids;
  if (gCounted.grids > grids.size() || (gCounted.grids > 0 && grids[gCounted.grids - 1] != gCounted.last))
    gCounted = Counted{};
  while (gCounted.grids + 1 < grids.size()) {
    gCounted.last = grids[gCounted.grids++];
    gCounted.points += (double)gCounted.last->mPts.size();
  }
  double n = gCounted.points;
  for (size_t i = gCounted.grids; i < grids.size(); ++i) n += (double)grids[i]->mPts.size();
  return n;
}

// The room last read, and the model's size then. Reading /proc costs as much as making a
// small part, so it is read again only when the request, with what the model has grown by
// since, comes within half of that room, or after every few thousand parts.
constexpr size_t kPartsBetweenReadings = 4096;
struct Room {
  bool known = false;
  double room = 0;
  double points = 0;
  size_t grids = 0;
};
Room gRoom;

}  // namespace

double memory_room() {
  double mapped, resident;
  mapped_and_resident(mapped, resident);
  const double page = (double)sysconf(_SC_PAGESIZE);
  double room = (double)sysconf(_SC_PHYS_PAGES) * page - resident;
  struct rlimit rl;
  if (getrlimit(RLIMIT_AS, &rl) == 0 && rl.rlim_cur != RLIM_INFINITY)
    room = std::min(room, (double)rl.rlim_cur - mapped);
  if (gMemoryLimit > 0) room = std::min(room, gMemoryLimit - resident);
  return std::max(room, 0.0);
}

void limit_memory(double bytes) {
  gMemoryLimit = bytes;
  gRoom = Room{};
}

bool points_fit_memory(double points, std::string& message) {
  const double model = model_points();
  const double need = points * sizeof(GridPt) + (model + points) * kMergeBytesPerPoint;
  const double grown = std::max(model - gRoom.points, 0.0) * (sizeof(GridPt) + kMergeBytesPerPoint);
  if (gRoom.known && need + 2 * grown <= gRoom.room / 2 &&
      Grid::gGrids.size() < gRoom.grids + kPartsBetweenReadings)
    return true;
  const double room = memory_room();
  gRoom = Room{true, room, model, Grid::gGrids.size()};
  if (need <= room) return true;
  note_out_of_memory();
  message += string_printf("%.0f points need about %s of memory, but only %s is left", points,
                           format_megabytes(need).c_str(), format_megabytes(room).c_str());
  return false;
}

std::string format_megabytes(double bytes) { return string_printf("%.1f MB", bytes / 1e6); }

void note_out_of_memory() { gOutOfMemory = true; }
bool out_of_memory() { return gOutOfMemory; }
void clear_out_of_memory() {
  gOutOfMemory = false;
  gRoom = Room{};
}
