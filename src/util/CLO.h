// CLO: self-registering command-line options.
// Every option is a global object whose constructor appends it to the registry
// (get_CLO_db(), construction order = help order); process_options runs them all over argv.
#pragma once

#include "util/message.h"

#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

class CLO;
std::vector<CLO*>& get_CLO_db();
extern int CLO_COUNT;

class CLO {
public:
  CLO();
  CLO(const CLO&);  // refused: throws "CLO copy ctor called...unexpected"
  virtual ~CLO();
  virtual const char* usage() = 0;
  virtual const char* info() = 0;
  virtual bool invoked() { return mInvoked; }
  // True when argv[i] selected this option; the consumed words are removed from argv.
  virtual bool operator()(int i, int& argc, char** argv) = 0;

  static bool process_options(int& argc, char** argv, bool strict);
  static void help(std::ostream& out);
  static void remove(int i, int n, int& argc, char** argv);

protected:
  bool mInvoked = false;
};

// Reads one word of argv as a T by formatted extraction; false when it does not read or
// leaves more than blanks after the value ("1e-3x" is no number).
template <class T>
bool read_option_value(const char* word, T& value) {
  std::istringstream in(word);
  in >> value;
  if (in.fail()) return false;
  in >> std::ws;
  return in.eof();
}
// A text value is the whole word, blanks and all: "my meshes/box.dvk" is one file name.
inline bool read_option_value(const char* word, std::string& value) {
  value = word;
  return true;
}

// An option followed by exactly N values.
template <class T, int N>
class CLO_t : public CLO {
public:
  CLO_t(const std::string& n, const std::string& i) : name(n), info_text(i), values(N) {
    usage_text = n;
    for (int k = 0; k < (N > 0 ? N : 1); ++k) usage_text += " <value>";
  }
  const char* usage() override { return usage_text.c_str(); }
  const char* info() override { return info_text.c_str(); }
  bool operator()(int i, int& argc, char** argv) override {
    if (name != argv[i]) return false;
    for (int k = 0; k < N; ++k) {
      if (i + 1 + k >= argc) fail("did not have all values", 2);
      if (!read_option_value(argv[i + 1 + k], values[k]))
        fail(("could not read the value '" + cut_long_words(argv[i + 1 + k]) + "'").c_str(), 2);
    }
    remove(i, N + 1, argc, argv);
    mInvoked = true;
    return true;
  }
  // Checked access to a value; an index beyond the stored values ends the process.
  T& value(size_t index) {
    if (index >= values.size()) {
      std::cerr << "*** ERROR *** index " << index << " is out of range for " << usage_text << "\n";
      std::exit(1);
    }
    return values[index];
  }

  std::string name, info_text, usage_text;
  std::vector<T> values;

protected:
  [[noreturn]] void fail(const char* what, int status) {
    help(std::cerr);
    std::cerr << "***ERROR***\n\t" << usage_text << "\n\t" << what << "\n";
    std::exit(status);
  }
};

// An option that may be repeated, each occurrence followed by one value.
template <class T>
class CLO_v : public CLO_t<T, 0> {
public:
  using CLO_t<T, 0>::CLO_t;
  bool operator()(int i, int& argc, char** argv) override {
    if (this->name != argv[i]) return false;
    T value{};
    if (i + 1 >= argc || !read_option_value(argv[i + 1], value)) this->fail("could not read a value", 1);
    this->values.push_back(value);
    CLO::remove(i, 2, argc, argv);
    this->mInvoked = true;
    return true;
  }
};

// An option that takes no value: the word alone.
class CLO_flag : public CLO {
public:
  CLO_flag(const std::string& n, const std::string& i) : name(n), info_text(i) {}
  const char* usage() override { return name.c_str(); }
  const char* info() override { return info_text.c_str(); }
  bool operator()(int i, int& argc, char** argv) override {
    if (name != argv[i]) return false;
    remove(i, 1, argc, argv);
    mInvoked = true;
    return true;
  }
  std::string name, info_text;
};

class CLO_help : public CLO {
public:
  explicit CLO_help(const std::string& n) : name(n) {}
  const char* usage() override { return name.c_str(); }
  const char* info() override { return "Print this help message"; }
  bool operator()(int i, int& argc, char** argv) override;
  std::string name;
};
