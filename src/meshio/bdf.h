// bdf: bulk data in free field (.bdf), one property id per part name with the shell
// thickness and material each part took at creation (part_properties.h). It writes the merged, renumbered parts with the point and element
// numbers and the element orientation of a .dvk export, whole or not at all (Atomic_File);
// false when the file was not written (the flag is not consulted).
#pragma once

bool export_bdf_mesh(const char* path, bool unused);
