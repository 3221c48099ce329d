// msh: the Gmsh 4.1 ascii mesh (.msh). It writes the merged, renumbered parts, grouped by part name, to a
// temporary beside the target that replaces it only when every byte went out; false when
// the file was not written (the flag is not consulted).
#pragma once

bool export_msh_mesh(const char* path, bool unused);
