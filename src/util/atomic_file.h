// atomic_file: writes a file whole or not at all. A regular (or missing) target is
// written beside itself and renamed over it only when every byte went out; a symbolic link
// is followed and the file it names replaced, the link kept. Other targets (a terminal, a
// pipe, a device) are written in place. Shared by every writer of the program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class Atomic_File {
public:
  Atomic_File() = default;
  ~Atomic_File();  // an uncommitted file is discarded
  Atomic_File(const Atomic_File&) = delete;
  Atomic_File& operator=(const Atomic_File&) = delete;

  // False, errno telling why, when nothing can be written at `path`: a missing directory,
  // a directory, a read-only file, a folder where no temporary can be made.
  bool open(const char* path);
  bool is_open() const { return mFd >= 0; }
  // False once any write failed (or no file is open); a failure sticks until commit.
  bool good() const { return mFd >= 0 && !mFailed; }

  // Appends n bytes (buffered).
  bool write(const void* data, size_t n);
  // Rewrites n bytes at an offset below size(); needs a seekable target.
  bool write_at(uint64_t offset, const void* data, size_t n);
  // Bytes appended so far.
  uint64_t size() const { return mSize; }

  // Flushes, closes and puts the file in place; false, leaving no temporary and the old
  // target untouched, when anything failed.
  bool commit();
  // Gives up: closes and removes the temporary.
  void discard();

private:
  bool flush();
  // Large files bypass the page cache: whole blocks of the staging buffer go to the device
  // directly, which on a busy machine costs far less CPU than copying into fresh cache
  // pages. The tail (and anything after a write_at) is written the ordinary way.
  bool write_direct(const char* data, size_t n);
  bool leave_direct(bool blocks);
  void drop_stage();

  int mFd = -1;
  bool mFailed = false;
  uint64_t mSize = 0;
  std::string mFinalPath;  // rename destination; empty when writing in place
  std::string mTempPath;
  std::vector<char> mBuffer;
  bool mDirect = false;
  char* mStage = nullptr;  // aligned staging buffer of direct writes
  size_t mStaged = 0;
};

// True when a write to `a` would replace the regular file `b` names, by file identity
// (links followed); for names of no file yet, when both resolve to the same path.
bool same_file(const std::string& a, const std::string& b);
