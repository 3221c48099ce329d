// PtMerger: joins coincident points of all parts into representatives after every run.
// Each point ends either a representative (mapped_to null) or linked directly to one.
#pragma once

#include "grid/Grid.h"

// Sets every mapped_to of every part in Grid::gGrids.
void merge_grid_pts();
// Component-wise bounds of all points of all parts (zero when there are none).
void grid_range(GridPt& lo, GridPt& hi);
