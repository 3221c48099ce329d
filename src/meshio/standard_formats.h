// standard_formats: writers of mesh formats other programs read — VTK XML unstructured
// grid (.vtu, appended raw binary), Gmsh 4.1 ascii (.msh), binary STL (.stl) and Wavefront
// OBJ (.obj). Each writes the merged, renumbered parts, grouped by part name, to a
// temporary beside the target that replaces it only when every byte went out; false when
// the file was not written (the flag is not consulted).
#pragma once

bool export_vtu_mesh(const char* path, bool unused);
bool export_msh_mesh(const char* path, bool unused);
bool export_stl_mesh(const char* path, bool unused);
bool export_obj_mesh(const char* path, bool unused);
