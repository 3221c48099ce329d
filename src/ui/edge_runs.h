// edge_runs: element edges joined into straight runs for drawing. A structured part's grid
// lines are chains of collinear edges; drawn as one segment each they light the same pixels
// at a fraction of the per-segment cost of a software renderer.
#pragma once

#include <cstdint>
#include <vector>

// `edges` holds index pairs into `verts` (x y z and three more floats per vertex). Returns
// index pairs where each chain of edges continuing in the same direction through shared
// points (within 1e-6 of a radian) is one pair from its first to its last point. Every edge
// lies on exactly one returned segment.
std::vector<uint32_t> join_collinear_edges(const std::vector<float>& verts, const std::vector<uint32_t>& edges,
                                           int floats_per_vertex = 6);
