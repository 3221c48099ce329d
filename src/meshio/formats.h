// formats: the mesh file writers by name, for the --format option and the Export menu.
// One table; a new writer is one more row.
#pragma once

#include <span>
#include <string>

struct Mesh_Format {
  const char* name;         // as given to --format: "dvk"
  const char* pattern;      // file-chooser filter: "*.dvk"
  const char* description;  // one line for help texts
  const char* menu_label;   // the Export menu item; null for the description
  const char* kind;         // the word for its files in messages: "could not export to KIND file"
  // Writes the merged, renumbered parts to path; false when the file was not written
  // (the flag is not consulted).
  bool (*write)(const char* path, bool unused);
};

// Every writer, the default (dvk) first. Usable before main (constant-initialised).
std::span<const Mesh_Format> mesh_formats();
// The writer named `name`, or null.
const Mesh_Format* find_mesh_format(const std::string& name);
// The writer whose name is the file name's extension (any case), else the default.
const Mesh_Format& mesh_format_for_path(const std::string& path);
// The names, separated by ", ": "dvk, vbf".
std::string mesh_format_names();
// Why an output name gets the default writer though its extension asks for another format
// ("model.inp"); "" for a known extension, ".dvk" and a name without one.
std::string unknown_extension_warning(const std::string& path);
