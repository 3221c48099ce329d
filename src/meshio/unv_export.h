// unv_export: the universal file (.unv). It writes the merged, renumbered parts with the point and element
// numbers and the element orientation of a .dvk export, whole or not at all (Atomic_File);
// false when the file was not written (the flag is not consulted).
#pragma once

bool export_unv_mesh(const char* path, bool unused);
