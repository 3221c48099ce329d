// finite_check: the last guard before a mesh file is written. Builders, placement and
// readers already refuse coordinates that are not finite; every writer still checks the
// points it is about to write, so no file ever holds nan or inf.
#pragma once

// True when every effective point of the parts is finite. Otherwise alerts "PATH: not
// written: point N (part 'NAME') is not finite: x y z", N the first such point's number
// in the file, and returns false: the writer then leaves the file as it was.
bool check_finite_mesh(const char* path);
