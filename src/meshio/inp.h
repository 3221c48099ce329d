// inp: the solver input deck of keyword lines (.inp), one set per part name with the shell
// thickness and material each part took at creation (part_properties.h). It writes the merged, renumbered parts with the point and element
// numbers and the element orientation of a .dvk export, whole or not at all (Atomic_File);
// false when the file was not written (the flag is not consulted).
#pragma once

#include <cstddef>
#include <string>

bool export_inp_mesh(const char* path, bool unused);

// `name` as a deck label: letters, digits and '_' (others become '_'), a letter first ('P'
// put in front otherwise), at most `max` characters.
std::string deck_label(const std::string& name, size_t max);
