#include "interp/library.h"

#include "interp/interp.h"
#include "interp/params.h"
#include "script/scriptstream.h"
#include "util/script_output.h"

#include <FL/filename.H>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <utility>

std::map<std::string, std::string> gLibraries;
std::map<std::string, int> gLibraries_args;
std::map<std::string, MessageLocation> gLibraries_origin;
std::deque<std::string> dir_stack;

namespace {

// Path buffers: FLTK cuts longer names at the buffer size.
constexpr int kPathMax = 4096;

// A declared argument count, truncated toward zero; values beyond int stay at its limits.
int to_count(double v) {
  if (std::isnan(v)) return 0;
  if (v >= (double)INT_MAX) return INT_MAX;
  if (v <= (double)INT_MIN) return INT_MIN;
  return (int)v;
}

// The comments written inside a definition, from the name to the closing brace.
std::string definition_doc(scriptstream& s, long start, long end) {
  auto* priv = dynamic_cast<scriptstream_priv*>(&s);
  if (!priv) return "";
  long size = (long)priv->text().size();
  if (start < 0) start = size;
  if (end < 0) end = size;
  return priv->doc((unsigned int)start, (unsigned int)end);
}

// Saves the argument parameters that existed before a call, to put them back after it.
struct SavedArgs {
  std::vector<std::pair<std::string, double>> values;
  void save(const std::string& name) {
    auto p = gParameters.find(name);
    if (p != gParameters.end()) values.emplace_back(name, p->second);
  }
  void restore() const {
    for (const auto& [name, value] : values) gParameters[name] = value;
  }
};

// Reads the call's arguments: at most `count` of them (no limit for -1), stopping before
// a ';' or at the end of the stream. All are read before any is stored, so an argument
// expression that uses "1" sees the caller's value.
std::vector<double> read_arguments(scriptstream& s, int count, SavedArgs& saved) {
  std::vector<double> args;
  while (count == -1 || (int)args.size() < count) {
    s.eatwhite();
    if (!s.good() || s.peek() == ';') break;
    saved.save(std::to_string(args.size() + 1));
    double v = 0;
    s >> v;
    args.push_back(v);
    if (trace_back) script_output() << ' ' << v;
  }
  return args;
}

// "'ring' takes 3 arguments; 2 were found"
std::string takes_and_found(const std::string& name, int count, size_t found) {
  const std::string takes = count < 0 ? "any number of arguments, ended by ';'"
                                      : std::to_string(count) + (count == 1 ? " argument" : " arguments");
  return "'" + name + "' takes " + takes + "; " + std::to_string(found) + (found == 1 ? " was" : " were") + " found";
}

// "FILE: warning: TEXT": the warning concerns the file as a whole.
void warn_about_file(const std::string& path, const std::string& text) {
  MessageLocationGuard restore;
  set_message_location({path, 0});
  warning_text(text);
}

// Bytes of the files whose runs are in progress (nested includes).
long included_bytes = 0;
struct IncludedBytes {
  long n;
  explicit IncludedBytes(long bytes) : n(bytes) { included_bytes += n; }
  ~IncludedBytes() { included_bytes -= n; }
  IncludedBytes(const IncludedBytes&) = delete;
  IncludedBytes& operator=(const IncludedBytes&) = delete;
};

void report_preload(const std::string& path, bool ok) {
  script_output() << "preloading " << path << (ok ? "... ok\n" : "... failed\n") << std::flush;
}

}  // namespace

// -- library functions

// define <library_function_name> [count] { <script> }
// Only stores text: nothing of the body is checked until it is called.
bool command_define(scriptstream& s) {
  std::string name;
  s >> name;
  long start = s.tell();

  // Several numbers may stand before the brace; the last one counts.
  int count = -1;
  while (s.good()) {
    int c = s.peek();
    if (c == '{') break;
    if (c != EOF && std::isspace(c)) {
      s.ignore();
      continue;
    }
    double v = 0;
    s >> v;
    count = to_count(v);
    if (!s.good()) break;
  }
  if (!s.good()) {
    alert_text("Function Definition Error for '" + name + "'\nopening '{' not found");
    return false;
  }
  std::string body;
  MessageLocation where;
  if (!brace_contents(s, body, &where)) {
    alert_text("Function Definition Error for '" + name + "'\nclosing '}' not found");
    return false;
  }
  gLibraries[name] = body;
  gLibraries[name + "_doc"] = definition_doc(s, start, s.tell());
  gLibraries_args[name] = count;
  gLibraries_origin[name] = where;
  return true;
}

// build  <library_function_name> <arg1 ...> ;
// Reaches a library function even where a command of the same name hides it.
bool command_build(scriptstream& s) {
  std::string name;
  s >> name;
  return run_library_function(name, s);
}

// Binds the arguments to "1", "2", ... and runs the body as a block. After a successful
// body the argument parameters that existed before the call get their old values back.
bool run_library_function(const std::string& name, scriptstream& s) {
  if (!is_library_function(name)) {
    alert_text("Library Function '" + name + "' is not defined");
    return false;
  }
  const std::string body = gLibraries[name];
  const int count = gLibraries_args[name];
  const MessageLocation origin = gLibraries_origin.count(name) ? gLibraries_origin[name]
                                                               : MessageLocation{name, 1};

  if (trace_back) script_output() << "calling '" << name << "'";
  SavedArgs saved;
  const long numbers_before = numbers_read();
  std::vector<double> args = read_arguments(s, count, saved);
  if (trace_back) script_output() << '\n' << std::flush;
  for (size_t k = 0; k < args.size(); ++k) gParameters[std::to_string(k + 1)] = args[k];

  if (!s.good()) {
    const size_t found = (size_t)(numbers_read() - numbers_before);
    alert_text("Could not gather all arguments for '" + name +
               "'\nshould have an ending ';' after final argument value\n"
               "if definition did not include a count\n" + takes_and_found(name, count, found));
    return false;
  }
  s.eatwhite();
  if (s.peek() == ';') s.ignore();

  MessageContextGuard called_from(message_location(), "in '" + name + "', called from here");
  bool ok = run_block(body, origin);
  if (ok) saved.restore();
  return ok;
}

// Documentation entries ("f_doc") have no declared count and are never run.
bool is_library_function(const std::string& word) {
  return gLibraries_args.count(word) != 0 && gLibraries.count(word) != 0;
}

// -- files

// include <file_name>
bool command_include(scriptstream& s) {
  std::string name;
  s >> name;
  if (!s.good() || name.empty()) {
    alert("include requires a filename");
    return false;
  }
  // The system would read the name only up to the NUL: some other file.
  if (name.find('\0') != std::string::npos) {
    alert_text("include: the file name '" + name + "' holds a NUL byte");
    return false;
  }
  return include_file(name);
}

// Runs a script file, its messages located in that file. Relative names are taken
// relative to the directory of the file being included from. An empty file fails quietly.
bool include_file(const std::string& name) {
  std::string path = name;
  push_filename(path);
  const int alerts_before = alert_count();
  std::vector<std::string>& seen = included_files();
  if (std::find(seen.begin(), seen.end(), path) == seen.end()) seen.push_back(path);
  std::string text = file_contents(path);
  if (text.empty() && alert_count() == alerts_before) alert_text("include: '" + path + "' is empty");
  // Messages from the file name its lines; a note says where it was included from.
  std::unique_ptr<MessageContextGuard> from;
  if (!message_location().file.empty())
    from = std::make_unique<MessageContextGuard>(message_location(), "in '" + name + "', included from here");
  // Files that include each other are all held while they run: together they stay within
  // what one script may hold.
  if (included_bytes + (long)text.size() > kMaxScriptBytes) {
    alert_text("include: '" + path + "' would make the files being included hold more than " +
               std::to_string(kMaxScriptBytes >> 20) + " MiB");
    pop_filename();
    return false;
  }
  IncludedBytes held((long)text.size());
  bool ok = !text.empty() && run_tmp_script(std::move(text), {path, 1});
  pop_filename();
  return ok;
}

std::vector<std::string>& included_files() {
  static std::vector<std::string> files;
  return files;
}

void push_filename(std::string& name) {
  char expanded[kPathMax];
  fl_filename_expand(expanded, kPathMax, name.c_str());
  if (dir_stack.empty()) {
    char cwd[kPathMax];
    fl_filename_absolute(cwd, kPathMax, ".");
    std::string dir = cwd;
    dir_stack.push_back(dir.substr(0, dir.rfind('/') + 1));
  }
  std::string full = expanded;
  if (full.empty() || full[0] != '/') full = dir_stack.back() + full;
  char absolute[kPathMax];
  fl_filename_absolute(absolute, kPathMax, full.c_str());
  name = absolute;
  dir_stack.push_back(name.substr(0, name.rfind('/') + 1));
}

void pop_filename() {
  if (!dir_stack.empty()) dir_stack.pop_back();
}

std::string set_script_file(const std::string& path) {
  static bool pushed = false;  // the bottom entry above the working directory is ours
  if (pushed) pop_filename();
  std::string absolute = path;
  pushed = !path.empty();
  if (pushed) push_filename(absolute);
  return absolute;
}

// A file that cannot be opened, or read (a directory), is reported and gives "".
std::string file_contents(const std::string& path) {
  std::string text, why;
  if (read_script_file(path, text, why)) return text;
  if (why.empty()) alert_text("Error Opening File named '" + path + "'\n" + open_error_text(path));
  else alert_text(why);
  return std::string();
}

std::string open_error_text(const std::string& path) {
  struct stat st = {};
  if (stat(path.c_str(), &st) != 0) return std::strerror(errno);
  if (S_ISDIR(st.st_mode)) return std::strerror(EISDIR);
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return std::strerror(errno);
  close(fd);
  return "the file could not be read";
}

bool read_script_file(const std::string& path, std::string& text, std::string& why, bool regular_only) {
  text.clear();
  why.clear();
  // Non-blocking, so opening a FIFO that has no writer returns at once.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | (regular_only ? O_NONBLOCK : 0));
  if (fd < 0) return false;
  struct stat st = {};
  bool ok = fstat(fd, &st) == 0 && !S_ISDIR(st.st_mode);
  if (ok && regular_only && !S_ISREG(st.st_mode)) {
    why = "'" + path + "' is not a regular file";
    ok = false;
  }
  bool too_big = ok && S_ISREG(st.st_mode) && st.st_size > kMaxScriptBytes;
  // Read up to one byte past the cap: the size a file reports is not trusted.
  char chunk[4096];
  while (ok && !too_big) {
    const ssize_t n = read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    if (n <= 0) break;
    text.append(chunk, (size_t)n);
    too_big = (long)text.size() > kMaxScriptBytes;
  }
  close(fd);
  if (too_big)
    why = "'" + path + "' is larger than " + std::to_string(kMaxScriptBytes >> 20) + " MiB, the most a script may hold";
  if (ok && !too_big) return true;
  text.clear();
  return false;
}

// Each directory's ".vmf" files run from the last to the first in numeric name order
// (b.vmf, a10.vmf, a9.vmf). A directory that cannot be listed is passed over silently.
bool load_libraries(const std::vector<std::string>& dirs, bool warn_unlisted) {
  bool all_ok = true;
  for (const std::string& dir : dirs) {
    dirent** entries = nullptr;
    int n = fl_filename_list(dir.c_str(), &entries, fl_numericsort);
    if (n <= 0 || !entries) {
      if (warn_unlisted) warn_about_file(dir, "cannot list the library directory: " + open_error_text(dir));
      continue;
    }
    for (int i = n - 1; i >= 0; --i) {
      const char* entry = entries[i]->d_name;
      if (std::strcmp(fl_filename_ext(entry), ".vmf") != 0) continue;
      std::string path = dir + "/" + entry;
      bool ok = include_file(path);
      report_preload(path, ok);
      all_ok = all_ok && ok;
    }
    fl_filename_free_list(&entries, n);
  }
  gParameters_preloaded = gParameters;
  keep_startup_state();
  return all_ok;
}

bool load_library_files(const std::vector<std::string>& files) {
  bool all_ok = true;
  for (const std::string& file : files) {
    struct stat st = {};
    if (stat(file.c_str(), &st) != 0) {
      warn_about_file(file, "cannot read the library file: " + open_error_text(file));
      report_preload(file, false);
      continue;
    }
    bool ok = include_file(file);
    report_preload(file, ok);
    all_ok = all_ok && ok;
  }
  gParameters_preloaded = gParameters;
  keep_startup_state();
  return all_ok;
}
