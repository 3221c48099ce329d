// paths: the installation directory and small file-name helpers.
// VORN_DIR() is computed on first use and cached for the process.
#pragma once

#include <string>

// The installation directory: $VORN_HOME, else $HOME/.vorn if present, else the directory above
// the bin/ that holds pelgrove on PATH, else the directory above the running executable's bin/
// when it holds share/etc/pelgrove, else "/vorn".
const std::string& VORN_DIR();
// Searches the current directory, then each entry of the colon-separated list in $var.
std::string find_file(const char* name, const char* var);
void fix_path(std::string& path);  // backslashes to '/', one trailing '/' dropped
bool file_exists(const char* path);  // true for a path of non-zero size
