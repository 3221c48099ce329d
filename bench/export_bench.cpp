// Mesh export of the merged plates workload: the ascii file's formatting alone (/dev/null,
// written in place), a regular file (written beside the target and renamed), and every
// writer of the format table. Items are bytes. Last, the batch job's phases one by one.
#include "bench_models.h"

#include "merge/merge.h"
#include "meshio/dvk_export.h"
#include "meshio/formats.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace {

long file_size(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? (long)st.st_size : 0;
}

void prepare(int K, int n) {
  build_plates(K, n);
  merge_grid_pts();
  renumber_grid_pts();
}

void BM_ExportPlatesFormatOnly(benchmark::State& state) {
  prepare((int)state.range(0), (int)state.range(1));
  const std::string probe = "/tmp/pelgrove-export-bench-size.dvk";
  export_dvk_mesh(probe.c_str(), true);
  const long bytes = file_size(probe);
  std::remove(probe.c_str());
  for (auto _ : state)
    if (!export_dvk_mesh("/dev/null", true)) state.SkipWithError("export failed");
  state.SetBytesProcessed(state.iterations() * bytes);
  Grid::destroy_grids();
}
BENCHMARK(BM_ExportPlatesFormatOnly)->Args({10, 100})->Args({10, 200})->Unit(benchmark::kMillisecond);

void BM_ExportPlatesToFile(benchmark::State& state) {
  prepare((int)state.range(0), (int)state.range(1));
  const std::string path = "/tmp/pelgrove-export-bench-" + std::to_string(getpid()) + ".dvk";
  for (auto _ : state)
    if (!export_dvk_mesh(path.c_str(), true)) state.SkipWithError("export failed");
  state.SetBytesProcessed(state.iterations() * file_size(path));
  std::remove(path.c_str());
  Grid::destroy_grids();
}
BENCHMARK(BM_ExportPlatesToFile)->Args({10, 100})->Args({10, 200})->Unit(benchmark::kMillisecond);

// Every writer of the format table on the same model, to a regular file: bytes per second
// compare the writers' cost per byte written. The CPU time is the whole process's (every
// thread's), steadier than the wall time on a busy machine.
void BM_ExportFormatToFile(benchmark::State& state) {
  const Mesh_Format& f = mesh_formats()[state.range(0)];
  state.SetLabel(f.name);
  prepare((int)state.range(1), (int)state.range(2));
  const std::string path = "/tmp/pelgrove-export-bench-" + std::to_string(getpid()) + "." + f.name;
  for (auto _ : state)
    if (!f.write(path.c_str(), true)) state.SkipWithError("export failed");
  state.SetBytesProcessed(state.iterations() * file_size(path));
  std::remove(path.c_str());
  Grid::destroy_grids();
}
BENCHMARK(BM_ExportFormatToFile)
    ->ArgsProduct({benchmark::CreateDenseRange(0, (int)mesh_formats().size() - 1, 1), {10}, {100}})
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// Every writer in turn on one model, round after round, so all meet the same load: each
// writer's file bytes per second (median of its rounds' wall times) and its speed per byte
// against the dvk writer's over the same rounds.
void BM_ExportFormatRounds(benchmark::State& state) {
  prepare(10, 100);
  const std::span<const Mesh_Format> formats = mesh_formats();
  const std::string base = "/tmp/pelgrove-export-bench-rounds-" + std::to_string(getpid()) + ".";
  std::vector<std::vector<double>> seconds(formats.size());
  for (auto _ : state)
    for (size_t k = 0; k < formats.size(); ++k) {
      const auto t0 = std::chrono::steady_clock::now();
      if (!formats[k].write((base + formats[k].name).c_str(), true)) state.SkipWithError("export failed");
      seconds[k].push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
  std::vector<double> rate(formats.size());
  for (size_t k = 0; k < formats.size(); ++k) {
    const std::string path = base + formats[k].name;
    std::nth_element(seconds[k].begin(), seconds[k].begin() + seconds[k].size() / 2, seconds[k].end());
    rate[k] = (double)file_size(path) / seconds[k][seconds[k].size() / 2];
    std::remove(path.c_str());
  }
  for (size_t k = 0; k < formats.size(); ++k) {
    state.counters[std::string(formats[k].name) + "_MB/s"] = rate[k] / 1e6;
    if (k > 0) state.counters[std::string(formats[k].name) + "/dvk"] = rate[k] / rate[0];
  }
  Grid::destroy_grids();
}
BENCHMARK(BM_ExportFormatRounds)->Iterations(9)->UseRealTime()->Unit(benchmark::kMillisecond);

// The batch job's phases on the plates, each timed alone (wall seconds as counters): the
// lattices built into fresh memory, merged, renumbered and written to a regular file.
void BM_BatchPhases(benchmark::State& state) {
  const int K = (int)state.range(0), n = (int)state.range(1);
  const std::string path = "/tmp/pelgrove-export-bench-phases-" + std::to_string(getpid()) + ".dvk";
  const std::pair<const char*, std::function<void()>> phases[] = {
      {"build_s", [&] { build_plates(K, n); }},
      {"merge_s", merge_grid_pts},
      {"renumber_s", renumber_grid_pts},
      {"write_s", [&] {
         if (!export_dvk_mesh(path.c_str(), true)) state.SkipWithError("export failed");
       }},
  };
  for (auto _ : state)
    for (const auto& [name, run] : phases) {
      const auto t0 = std::chrono::steady_clock::now();
      run();
      state.counters[name] = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
  std::remove(path.c_str());
  Grid::destroy_grids();
}
BENCHMARK(BM_BatchPhases)->Args({10, 200})->Args({20, 200})->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
