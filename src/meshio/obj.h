// obj: Wavefront OBJ (.obj). It writes the merged, renumbered parts, grouped by part name, to a
// temporary beside the target that replaces it only when every byte went out; false when
// the file was not written (the flag is not consulted).
#pragma once

bool export_obj_mesh(const char* path, bool unused);
