// memory: how far the model may still grow. Builders check a lattice's estimated cost
// against the memory left before allocating it; a run that stops for lack of memory is
// noted so batch mode writes no mesh of the unfinished model.
// Owns the out-of-memory note (per run; cleared by reset_script_state).
#pragma once

#include <string>

// -- estimates
// Bytes that may still be allocated: the smaller of the address-space limit (RLIMIT_AS)
// less the mapped size, and physical memory less the resident size; also within any
// budget set by limit_memory.
double memory_room();
// Caps memory_room at `bytes` in total use (0: no cap). For hosts such as a fuzzer.
void limit_memory(double bytes);
// True when `points` more points fit beside the model's parts, merging included; otherwise
// appends the reason (points, estimate and room) to `message` and notes the shortage.
// Constant time per call: the model's size is a running total and the room is read again
// only near the limit (or every few thousand parts).
bool points_fit_memory(double points, std::string& message);
// "123.4 MB"
std::string format_megabytes(double bytes);

// -- the out-of-memory note
void note_out_of_memory();
bool out_of_memory();
void clear_out_of_memory();  // also forgets the room last read
