#include "util/paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

bool file_exists(const char* path) {
  struct stat st;
  if (stat(path, &st) != 0) return false;
  return st.st_size != 0;
}

void fix_path(std::string& path) {
  for (char& c : path)
    if (c == '\\') c = '/';
  if (!path.empty() && path.back() == '/') path.pop_back();
}

std::string find_file(const char* name, const char* var) {
  const char* value = getenv(var);
  std::string list = std::string(":") + (value ? value : "");
  size_t start = 0;
  while (true) {
    size_t colon = list.find(':', start);
    std::string entry = list.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
    std::string candidate = entry.empty() ? std::string(name) : entry + "/" + name;
    fix_path(candidate);
    if (file_exists(candidate.c_str())) return candidate;
    if (colon == std::string::npos) return "";
    start = colon + 1;
  }
}

namespace {
// The directory above the running executable's bin/, when it holds the library scripts.
std::string dir_above_own_bin() {
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
  if (n <= 0) return "";
  std::string exe(buf, n);
  size_t pos = exe.rfind("/bin/");
  if (pos == std::string::npos) return "";
  std::string top = exe.substr(0, pos);
  struct stat st;
  if (stat((top + "/share/etc/pelgrove").c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return "";
  return top;
}
}  // namespace

const std::string& VORN_DIR() {
  static std::string dir;
  if (!dir.empty()) return dir;
  if (const char* home = getenv("VORN_HOME")) {
    dir = home;
    fix_path(dir);
    return dir;
  }
  if (const char* home = getenv("HOME")) {
    dir = std::string(home) + "/.vorn";
    fix_path(dir);
    if (file_exists(dir.c_str())) return dir;
    dir.clear();
  }
  std::string p = find_file("pelgrove", "PATH");
  size_t pos = p.rfind("/bin/pelgrove");
  if (!p.empty() && pos != std::string::npos) {
    dir = p.substr(0, pos);
    return dir;
  }
  dir = dir_above_own_bin();
  if (dir.empty()) dir = "/vorn";
  return dir;
}
