// library: library functions (define/build/calls), include with its directory stack,
// and start-up loading of library directories and files.
// Owns gLibraries, gLibraries_args, gLibraries_origin (live for the process) and dir_stack
// (its bottom entry, the start directory, lives for the process).
#pragma once

#include "util/message.h"

#include <deque>
#include <map>
#include <string>
#include <vector>

class scriptstream;

// -- state
extern std::map<std::string, std::string> gLibraries;      // name -> body; name_doc -> docs
extern std::map<std::string, int> gLibraries_args;         // name -> declared count, -1 none
extern std::map<std::string, MessageLocation> gLibraries_origin;  // name -> where its body begins
extern std::deque<std::string> dir_stack;                  // directories of included files, "/"-ended

// -- library functions
bool command_define(scriptstream& s);  // define <library_function_name> { <script> }
bool command_build(scriptstream& s);   // build  <library_function_name> <arg1 ...> ;
bool run_library_function(const std::string& name, scriptstream& s);
bool is_library_function(const std::string& word);  // true for runnable names, never for "_doc" keys

// -- files
bool command_include(scriptstream& s);  // include <file_name>
bool include_file(const std::string& name);
// The absolute paths `include` read since the last reset_script_state, each once, in order.
std::vector<std::string>& included_files();
void push_filename(std::string& name);  // makes name absolute, pushes its directory
void pop_filename();
// The script a window edits: runs resolve its includes from its directory. Replaces the
// directory set by the previous call ("" only removes it); returns the path made absolute.
std::string set_script_file(const std::string& path);
// A script file's text; a file that cannot be read is reported and gives "".
std::string file_contents(const std::string& path);
// Scripts and libraries larger than this are refused rather than read into memory.
constexpr long kMaxScriptBytes = 256L << 20;
// Reads a whole file of at most kMaxScriptBytes into `text`. With `regular_only`, anything
// but a regular file (a FIFO would block, /dev/zero never ends) is refused without waiting.
// On failure returns false with the reason in `why` (empty when the file could not be opened).
bool read_script_file(const std::string& path, std::string& text, std::string& why, bool regular_only = true);
// Why `path` cannot be opened for reading, in the system's words ("No such file or directory").
std::string open_error_text(const std::string& path);
// Both return false when a library file failed to load. A directory that cannot be listed
// is passed over, with a warning when `warn_unlisted`; a file that does not exist warns.
bool load_libraries(const std::vector<std::string>& dirs, bool warn_unlisted = false);
bool load_library_files(const std::vector<std::string>& files);
