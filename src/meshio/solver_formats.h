// solver_formats: writers of finite-element solver input — an input deck of keyword lines
// (.inp), bulk data in free field (.bdf) and a universal file (.unv). Each writes the merged,
// renumbered parts with the point and element numbers and the element orientation of a .dvk
// export, whole or not at all (Atomic_File); false when the file was not written (the flag
// is not consulted). The decks carry one set (inp) or property id (bdf) per part name and
// the shell thickness and material each part took at creation (part_properties.h).
#pragma once

#include <string>

bool export_inp_mesh(const char* path, bool unused);
bool export_bdf_mesh(const char* path, bool unused);
bool export_unv_mesh(const char* path, bool unused);

// `name` as a deck label: letters, digits and '_' (others become '_'), a letter first ('P'
// put in front otherwise), at most `max` characters.
std::string deck_label(const std::string& name, size_t max);
