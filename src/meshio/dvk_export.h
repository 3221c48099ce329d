// dvk_export: the ascii mesh file: counts, point lines, two lines per element, group lines.
#pragma once

// Writes every part's effective points and elements; false when the file cannot be written.
// The file is replaced only when the whole mesh was written.
bool export_dvk_mesh(const char* path, bool unused);
