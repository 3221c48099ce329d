// lattice: the fillers that make one Grid_MxN named `name` from plain values (the bilinear
// patch, the transition patch, the straight segment) and the conversions that turn their
// cylindrical or spherical coordinates into x y z. Local coordinates: placement comes later.
#pragma once

#include "builders/builders.h"

#include <string>

void build_abcd(GridData& gd, const std::string& name);
void build_abcd_mn(GridData& gd, int M2, int N2, const std::string& name);
void build_ab(GridData& gd, std::string name);
void cyl2xyz(GridData& gd);  // (r, theta deg, z) -> xyz
void sph2xyz(GridData& gd);  // (r, theta deg, phi deg) -> xyz
