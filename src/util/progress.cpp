#include "util/progress.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>
#include <unistd.h>

std::atomic<long> gProgressCount{0};

namespace {

using Clock = std::chrono::steady_clock;

struct Phase {
  std::string what;
  const char* unit = "";
  long total = 0;
  Clock::time_point start;
  bool active = false;
};
std::mutex phase_mutex;
Phase phase;

}  // namespace

void progress_phase(const std::string& what, const char* unit, long total) {
  std::lock_guard<std::mutex> lock(phase_mutex);
  phase.what = what;
  phase.unit = unit ? unit : "";
  phase.total = total;
  phase.start = Clock::now();
  phase.active = true;
  gProgressCount.store(0, std::memory_order_relaxed);
}

void progress_done() {
  std::lock_guard<std::mutex> lock(phase_mutex);
  phase.active = false;
}

std::string progress_line(const std::string& what, const char* unit, long count, long total, double seconds) {
  char buf[160];
  int n = std::snprintf(buf, sizeof buf, "pelgrove: %s: %.1f s", what.c_str(), seconds);
  if (*unit && count > 0 && n > 0 && n < (int)sizeof buf) {
    if (total > 0)
      std::snprintf(buf + n, sizeof buf - n, ", %ld of %ld %s", count, total, unit);
    else
      std::snprintf(buf + n, sizeof buf - n, ", %ld %s", count, unit);
  }
  return buf;
}

// The terminal line: shown by the reporter, erased before anything else is written.
std::mutex line_mutex;
bool line_shown = false;

void erase_line_locked() {
  if (!line_shown) return;
  std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
  line_shown = false;
}

void progress_clear() {
  std::lock_guard<std::mutex> lock(line_mutex);
  erase_line_locked();
}

struct ProgressReporter::State {
  std::mutex mutex;
  std::condition_variable wake;
  bool stop = false;
  std::thread thread;

  void run() {
    std::unique_lock<std::mutex> lock(mutex);
    while (!wake.wait_for(lock, std::chrono::milliseconds(250), [this] { return stop; })) {
      std::string line;
      {
        std::lock_guard<std::mutex> p(phase_mutex);
        const double seconds = std::chrono::duration<double>(Clock::now() - phase.start).count();
        if (phase.active && seconds >= 1.0)
          line = progress_line(phase.what, phase.unit, gProgressCount.load(std::memory_order_relaxed), phase.total,
                               seconds);
      }
      std::lock_guard<std::mutex> out(line_mutex);
      if (line.empty()) {
        erase_line_locked();
        continue;
      }
      // Carriage return, the line, then erase to the end of the terminal's line.
      std::fprintf(stderr, "\r%s\033[K", line.c_str());
      std::fflush(stderr);
      line_shown = true;
    }
    progress_clear();
  }
};

ProgressReporter::ProgressReporter() {
  if (!isatty(STDERR_FILENO)) return;
  mState = new State;
  mState->thread = std::thread([s = mState] { s->run(); });
}

ProgressReporter::~ProgressReporter() {
  if (!mState) return;
  {
    std::lock_guard<std::mutex> lock(mState->mutex);
    mState->stop = true;
  }
  mState->wake.notify_one();
  mState->thread.join();
  delete mState;
}
