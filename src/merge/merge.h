// merge: joins the coincident points of every part after a run, with the PtMerger tables.
#pragma once

#include "grid/Grid.h"

// Sets every mapped_to of every part in Grid::gGrids.
void merge_grid_pts();
// Component-wise bounds of all points of all parts (zero when there are none).
void grid_range(GridPt& lo, GridPt& hi);
