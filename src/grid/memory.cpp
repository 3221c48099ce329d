#include "grid/memory.h"

#include "grid/Grid.h"
#include "util/message.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace {

// Merging keeps about this much per point of the model: its entry in the merger, the
// hash chains of two cell levels, and the part's visiting order and cell cache.
constexpr double kMergeBytesPerPoint = 64;

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

double model_points() {
  double n = 0;
  for (const Grid* g : Grid::gGrids) n += (double)g->mPts.size();
  return n;
}

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

void limit_memory(double bytes) { gMemoryLimit = bytes; }

bool points_fit_memory(double points, std::string& message) {
  const double need = points * sizeof(GridPt) + (model_points() + points) * kMergeBytesPerPoint;
  const double room = memory_room();
  if (need <= room) return true;
  note_out_of_memory();
  message += string_printf("%.0f points need about %s of memory, but only %s is left", points,
                           format_megabytes(need).c_str(), format_megabytes(room).c_str());
  return false;
}

std::string format_megabytes(double bytes) { return string_printf("%.1f MB", bytes / 1e6); }

void note_out_of_memory() { gOutOfMemory = true; }
bool out_of_memory() { return gOutOfMemory; }
void clear_out_of_memory() { gOutOfMemory = false; }
