#include "util/CLO.h"

#include "util/message.h"

#include <algorithm>
#include <cassert>
#include <cstring>

int CLO_COUNT = 0;

std::vector<CLO*>& get_CLO_db() {
  static std::vector<CLO*> db;
  return db;
}

CLO::CLO() {
  get_CLO_db().push_back(this);
  ++CLO_COUNT;
}

CLO::CLO(const CLO&) { throw "CLO copy ctor called...unexpected"; }

CLO::~CLO() {
  auto& db = get_CLO_db();
  assert(db.size() > 0 && (int)db.size() <= CLO_COUNT && (int)db.size() == CLO_COUNT);
  auto it = std::find(db.begin(), db.end(), this);
  if (it != db.end()) db.erase(it);
  --CLO_COUNT;
}

void CLO::remove(int i, int n, int& argc, char** argv) {
  if (i < 0 || n <= 0 || i >= argc) return;
  n = std::min(n, argc - i);
  for (int k = i; k + n < argc; ++k) argv[k] = argv[k + n];
  argc = std::max(0, argc - n);
}

void CLO::help(std::ostream& out) {
  out << "Description of Command Line Options:\n";
  for (CLO* o : get_CLO_db()) {
    std::string info = o->info(), indented;
    for (char c : info) indented += c == '\n' ? std::string("\n\t\t") : std::string(1, c);
    out << "\t" << o->usage() << "\n\t\t" << indented << "\n";
  }
}

bool CLO::process_options(int& argc, char** argv, bool strict) {
  if (!strict && getenv("VORN_OPTIONS")) strict = true;
  int k = 2;  // dashes that mark an option word
  for (CLO* o : get_CLO_db()) {
    if (strict) {
      std::string u = o->usage();
      k = std::min<int>(k, (int)u.size());
      while (k > 0 && u[k - 1] != '-') --k;
    }
    for (int i = 0; i < argc;)
      if (!(*o)(i, argc, argv)) ++i;
  }
  if (strict && k > 0) {
    bool unknown = false;
    for (int i = 1; i < argc; ++i) {
      const char* a = argv[i];
      if (a[0] == '-' && (int)strlen(a) >= k && a[k - 1] == '-') {
        std::cerr << "unrecognized command line option: " << cut_long_words(a) << "\n";
        unknown = true;
      }
    }
    if (unknown) {
      help(std::cerr);
      return false;
    }
  }
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "-h" || a == "--h" || a == "-help" || a == "--help") {
      help(std::cerr);
      return false;
    }
  }
  return true;
}

bool CLO_help::operator()(int i, int& argc, char** argv) {
  if (name != argv[i]) return false;
  remove(i, 1, argc, argv);
  help(std::cerr);
  mInvoked = true;
  return true;
}
