// import: the builder that reads a mesh file written by another program into parts.
#pragma once

#include <string>
#include <vector>

class scriptstream;

// -- builders
// import <type> <file>: the type arrives as the part name (vet, dxf, unv, gds, dvk or
// xpatch). A failed import leaves no part and names the file and what was wrong.
bool import_geom(std::string type, scriptstream& in, std::string& message);

// The files the run named to import so far, in first-named order; cleared at every script start.
std::vector<std::string>& imported_files();
