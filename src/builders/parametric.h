// parametric: the builders that compute every lattice point from three expressions of the
// lattice parameters, s along a curve or u and v across a surface, optionally after running
// a script per point. s, u and v are put back when the builder ends, whatever happened.
#pragma once

#include <string>

class scriptstream;

// -- builders (per-point scripts are taken and run through interp_hooks())
// pline { script } N [x] [y] [z]; parc and porbit read (r, theta, z) and (r, theta, phi).
bool pline(std::string name, scriptstream& in, std::string& message);
bool pcylindrical_arc(std::string name, scriptstream& in, std::string& message);
bool pspherical_arc(std::string name, scriptstream& in, std::string& message);
// pplate { script } M[:M2] N[:N2] [x] [y] [z]; pcylinder and psphere as parc and porbit.
bool pplate(std::string name, scriptstream& in, std::string& message);
bool pcylinder(std::string name, scriptstream& in, std::string& message);
bool psphere(std::string name, scriptstream& in, std::string& message);

