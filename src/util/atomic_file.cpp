#include "util/atomic_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const size_t BUFFER_BYTES = 1 << 20;

bool write_all(int fd, const char* data, size_t n) {
  while (n > 0) {
    const ssize_t w = ::write(fd, data, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    data += w;
    n -= (size_t)w;
  }
  return true;
}

bool pwrite_all(int fd, const char* data, size_t n, uint64_t offset) {
  while (n > 0) {
    const ssize_t w = ::pwrite(fd, data, n, (off_t)offset);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    data += w;
    n -= (size_t)w;
    offset += (uint64_t)w;
  }
  return true;
}

}  // namespace

Atomic_File::~Atomic_File() { discard(); }

bool Atomic_File::open(const char* path) {
  discard();
  mFailed = false;
  mSize = 0;
  struct stat st;
  std::string real = path;
  const bool exists = stat(path, &st) == 0;
  auto in_place = [&] {
    mFd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    return mFd >= 0;
  };
  if (exists && !S_ISREG(st.st_mode)) return in_place();
  if (exists) {
    // Replace the file a symbolic link names, not the link.
    if (char* r = realpath(path, nullptr)) {
      real = r;
      std::free(r);
    }
  }
  static unsigned serial = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string temp = real + "." + std::to_string(getpid()) + "-" + std::to_string(++serial) + "-" +
                             std::to_string((unsigned)std::time(nullptr) % 100000) + ".tmp";
    mFd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (mFd >= 0) {
      mFinalPath = real;
      mTempPath = temp;
      if (exists) (void)fchmod(mFd, st.st_mode & 07777);
      return true;
    }
    // A directory we may not create files in can still hold a file we may rewrite.
    if (errno != EEXIST) return in_place();
  }
  return in_place();
}

bool Atomic_File::flush() {
  if (mBuffer.empty()) return good();
  if (good() && !write_all(mFd, mBuffer.data(), mBuffer.size())) mFailed = true;
  mBuffer.clear();
  return good();
}

bool Atomic_File::write(const void* data, size_t n) {
  if (!good()) return false;
  mSize += n;
  const char* bytes = static_cast<const char*>(data);
  if (mBuffer.size() + n <= BUFFER_BYTES) {
    if (mBuffer.capacity() < BUFFER_BYTES) mBuffer.reserve(BUFFER_BYTES);
    mBuffer.insert(mBuffer.end(), bytes, bytes + n);
    return true;
  }
  if (!flush()) return false;
  if (n >= BUFFER_BYTES / 2) {
    if (!write_all(mFd, bytes, n)) mFailed = true;
    return good();
  }
  mBuffer.insert(mBuffer.end(), bytes, bytes + n);
  return true;
}

bool Atomic_File::write_at(uint64_t offset, const void* data, size_t n) {
  if (!flush()) return false;
  if (offset > mSize || n > mSize - offset || !pwrite_all(mFd, static_cast<const char*>(data), n, offset))
    mFailed = true;
  return good();
}

bool Atomic_File::commit() {
  if (mFd < 0) return false;
  bool ok = flush();
  if (::close(mFd) != 0) ok = false;
  mFd = -1;
  if (!mTempPath.empty()) {
    if (ok && rename(mTempPath.c_str(), mFinalPath.c_str()) != 0) ok = false;
    if (!ok) unlink(mTempPath.c_str());
  }
  mTempPath.clear();
  mFinalPath.clear();
  mBuffer.clear();
  return ok;
}

void Atomic_File::discard() {
  if (mFd < 0) return;
  ::close(mFd);
  mFd = -1;
  if (!mTempPath.empty()) unlink(mTempPath.c_str());
  mTempPath.clear();
  mFinalPath.clear();
  mBuffer.clear();
  mFailed = true;
}
