// element_quality: one number per element of the merged mesh for the viewer's quality
// colours — aspect ratio, smallest angle, warp, or how many of the mesh check's folds,
// T-joints and free edges touch the element. Elements are numbered as a written mesh file
// numbers them; nothing here draws, and nothing changes the mesh.
#pragma once

#include "merge/mesh_check.h"
#include "merge/mesh_geometry.h"

#include <cstddef>
#include <vector>

// ORDER QUALITY_MEASURES
enum class QualityMeasure { ASPECT_RATIO, SMALLEST_ANGLE, WARP, FOLDS, T_JOINTS, FREE_EDGES, COUNT };

// "aspect ratio", "smallest angle", ...
const char* quality_measure_name(QualityMeasure m);
// True when a high value is bad (all but the smallest angle).
bool quality_high_is_bad(QualityMeasure m);
// True for the counts of mesh check findings (folds, T-joints, free edges).
bool quality_is_count(QualityMeasure m);

// The shape of one face of n = 3 or 4 corners (scaled as mesh_scale_for scales them).
struct FaceQuality {
  double aspect = 1;         // longest over shortest edge; infinite without area
  double min_angle_deg = 0;  // over the corners (a zero-length edge's corner left out); 0 without area
  double warp_deg = 0;       // quadrilaterals: as the mesh check measures it; 0 for triangles
  bool has_area = true;
};
FaceQuality measure_face_quality(const Vec3* v, int n);

struct ElementQuality {
  QualityMeasure measure = QualityMeasure::ASPECT_RATIO;
  // By written element number - 1; NaN where the measure says nothing (bars for the shape
  // measures, folds and free edges; the warp of a face without area; elements with a
  // non-finite corner).
  std::vector<float> value;
  // Per part (as Grid::gGrids): written elements before it.
  std::vector<long> first;
  // The range of the finite values (the bad end is hi when quality_high_is_bad, else lo).
  double lo = 0, hi = 0;
  long measured = 0;    // elements with a value
  long unbounded = 0;   // of those, infinite ones (faces without area): worse than the range
  double value_of(long number) const { return value[number - 1]; }
  long elements() const { return (long)value.size(); }
};

// Measures every written element of Grid::gGrids (after merge_grid_pts and renumber_grid_pts).
ElementQuality measure_elements(QualityMeasure m);
// Where `value` lies from the good end of the range (0) to the bad end (1), clamped; counts
// range from 0, an infinite value sits at its end; NaN without a value.
double quality_badness(const ElementQuality& q, double value);
// The written numbers of the `limit` worst elements, worst first (equal ones by number); counts
// of findings list only elements with at least one.
std::vector<long> worst_elements(const ElementQuality& q, size_t limit);
// The part and element index within it of written element `number`; not found() when out of range.
MeshCheck::Where locate_element(const ElementQuality& q, long number);
