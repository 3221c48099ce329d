#include "util/atomic_file.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace {

const size_t BUFFER_BYTES = 1 << 20;
// Direct writes: blocks of this alignment, handed to the device in stages of STAGE_BYTES.
const size_t DIRECT_ALIGN = 4096;
const size_t STAGE_BYTES = 4 << 20;

// Direct writes only where they go straight to a local disk: on a network file system
// each one would wait for the server, and the client's cache is what makes writes fast.
bool local_disk(int fd) {
  struct statfs fs;
  if (fstatfs(fd, &fs) != 0) return false;
  switch ((unsigned long)fs.f_type) {
  case 0xEF53:      // ext2, ext3, ext4
  case 0x58465342:  // xfs
  case 0x9123683E:  // btrfs
  case 0xF2F52010:  // f2fs
    return true;
  default:
    return false;
  }
}

bool set_direct(int fd, bool on) {
  const int flags = fcntl(fd, F_GETFL);
  return flags >= 0 && fcntl(fd, F_SETFL, on ? flags | O_DIRECT : flags & ~O_DIRECT) == 0;
}

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

// The file a write to `path` replaces: symbolic links are followed to their end, also when
// the last one names no file yet (the file is then made where it points). A loop of links is
// returned as it stands; opening it fails.
std::string link_target(const std::string& path) {
  std::string p = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return p;
    std::vector<char> to(PATH_MAX + 1);
    const ssize_t n = readlink(p.c_str(), to.data(), PATH_MAX);
    if (n <= 0) return p;
    const std::string target(to.data(), (size_t)n);
    const size_t slash = p.rfind('/');
    p = target[0] == '/' || slash == std::string::npos ? target : p.substr(0, slash + 1) + target;
  }
  return p;
}

}  // namespace

Atomic_File::~Atomic_File() { discard(); }

// A regular or missing target is never written in place: when no temporary can be made
// beside it (a read-only folder), or the file itself is read-only, nothing is written and
// errno says why.
bool Atomic_File::open(const char* path) {
  discard();
  mFailed = false;
  mSize = 0;
  // A file-size limit (ulimit -f) fails the write with EFBIG instead of ending the process
  // with SIGXFSZ, so the temporary is removed and the old file stays.
  static const bool size_limit_fails_writes = (std::signal(SIGXFSZ, SIG_IGN), true);
  (void)size_limit_fails_writes;
  if (!*path) {
    errno = ENOENT;
    return false;
  }
  const std::string real = link_target(path);
  struct stat st;
  const bool exists = stat(real.c_str(), &st) == 0;
  if (exists && !S_ISREG(st.st_mode)) {
    mFd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    return mFd >= 0;
  }
  if (exists && access(real.c_str(), W_OK) != 0) return false;
  // A short temporary name: a target name near the length limit still gets one.
  const size_t slash = real.rfind('/');
  const std::string dir = slash == std::string::npos ? "" : real.substr(0, slash + 1);
  const std::string stem = real.substr(dir.size(), 64);
  static unsigned serial = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string temp = dir + stem + "." + std::to_string(getpid()) + "-" + std::to_string(++serial) + "-" +
                             std::to_string((unsigned)std::time(nullptr) % 100000) + ".tmp";
    mFd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (mFd >= 0) {
      mFinalPath = real;
      mTempPath = temp;
      mDirect = local_disk(mFd) && set_direct(mFd, true);
      if (exists) {
        (void)fchmod(mFd, st.st_mode & 07777);
        const int owner_kept = fchown(mFd, st.st_uid, st.st_gid);  // only the superuser may give a file away
        (void)owner_kept;
      }
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

bool Atomic_File::write_direct(const char* data, size_t n) {
  if (!mStage) mStage = static_cast<char*>(std::aligned_alloc(DIRECT_ALIGN, STAGE_BYTES));
  if (!mStage) {
    mSize -= n;  // write() counts them again
    return leave_direct(false) && write(data, n);
  }
  while (n > 0) {
    const size_t take = std::min(n, STAGE_BYTES - mStaged);
    std::memcpy(mStage + mStaged, data, take);
    mStaged += take;
    data += take;
    n -= take;
    if (mStaged < STAGE_BYTES) continue;
    ssize_t w;
    do w = ::write(mFd, mStage, STAGE_BYTES);
    while (w < 0 && errno == EINTR);
    if (w != (ssize_t)STAGE_BYTES) {
      // Refused or cut short (a file system without direct writes): the rest goes the
      // ordinary way.
      const size_t done = w > 0 ? (size_t)w : 0;
      std::memmove(mStage, mStage + done, STAGE_BYTES - done);
      mStaged = STAGE_BYTES - done;
      mSize -= n;  // write() counts them again
      return leave_direct(false) && (n == 0 || write(data, n));
    }
    mStaged = 0;
  }
  return true;
}

// Writes what is staged, its whole blocks directly when `blocks`, and the rest the
// ordinary way; the file is written the ordinary way from here on.
bool Atomic_File::leave_direct(bool blocks) {
  if (!mDirect) return good();
  mDirect = false;
  const size_t whole = blocks ? mStaged / DIRECT_ALIGN * DIRECT_ALIGN : 0;
  size_t done = 0;
  if (whole > 0 && write_all(mFd, mStage, whole)) done = whole;
  if (!set_direct(mFd, false) || !write_all(mFd, mStage + done, mStaged - done)) mFailed = true;
  drop_stage();
  return good();
}

void Atomic_File::drop_stage() {
  std::free(mStage);
  mStage = nullptr;
  mStaged = 0;
  mDirect = false;
}

bool Atomic_File::flush() {
  // A file smaller than a stage goes wholly the ordinary way: no wait on the device.
  if (mDirect) return leave_direct(mSize >= STAGE_BYTES);
  if (mBuffer.empty()) return good();
  if (good() && !write_all(mFd, mBuffer.data(), mBuffer.size())) mFailed = true;
  mBuffer.clear();
  return good();
}

bool Atomic_File::write(const void* data, size_t n) {
  if (!good()) return false;
  mSize += n;
  const char* bytes = static_cast<const char*>(data);
  if (mDirect) return write_direct(bytes, n);
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
  drop_stage();
  mFailed = true;
}

bool same_file(const std::string& a, const std::string& b) {
  const std::string ra = link_target(a), rb = link_target(b);
  struct stat sa, sb;
  const bool ea = stat(ra.c_str(), &sa) == 0, eb = stat(rb.c_str(), &sb) == 0;
  // A device is written in place, never replaced: a terminal may be both input and output.
  if (ea && eb) return S_ISREG(sa.st_mode) && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
  if (ea != eb) return false;
  std::error_code fa, fb;
  const auto pa = std::filesystem::weakly_canonical(std::filesystem::absolute(ra, fa), fa),
             pb = std::filesystem::weakly_canonical(std::filesystem::absolute(rb, fb), fb);
  return !fa && !fb && pa == pb;
}
