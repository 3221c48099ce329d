// progress: what a long run is doing now — a phase ("running the script", "merging",
// "writing out.dvk") and a count within it (commands run, points merged). The work only
// records; a reporter, started by batch mode when standard error is a terminal, shows it
// as one self-updating line once a phase has taken longer than a second.
#pragma once

#include <atomic>
#include <string>

// Starts a phase: `what` is shown as it stands, `unit` names what is counted ("commands"),
// `total` is the count at the end of the phase (0: not known).
void progress_phase(const std::string& what, const char* unit = "", long total = 0);
// Ends the current phase (the line is cleared).
void progress_done();

// Counting is one relaxed atomic add; the hot loops call it.
extern std::atomic<long> gProgressCount;
inline void progress_add(long n = 1) { gProgressCount.fetch_add(n, std::memory_order_relaxed); }

// The line shown for a phase after `seconds`: "pelgrove: merging: 3.1 s, 2400000 of 4000000 points".
std::string progress_line(const std::string& what, const char* unit, long count, long total, double seconds);

// Erases the line if it is shown; whatever writes to the terminal calls this first.
void progress_clear();

// Shows the line on standard error, redrawn a few times a second, while it lives; does
// nothing unless standard error is a terminal.
class ProgressReporter {
public:
  ProgressReporter();
  ~ProgressReporter();
  ProgressReporter(const ProgressReporter&) = delete;
  ProgressReporter& operator=(const ProgressReporter&) = delete;

private:
  struct State;
  State* mState = nullptr;
};
