// The building step alone of bench/models/plate-1000.vmf and pplate-1000.vmf (no merge, no
// file), the same plate graded and as a graded 1000:2000 transition, and the three pplate expressions over the same 1M points through the evaluator
// and through compiled programs. Items are lattice points.
#include "builders/builders.h"
#include "grid/Grid.h"
#include "interp/interp.h"
#include "script/compiled_expression.h"
#include "script/expression.h"
#include "script/parameters.h"
#include "script/scriptstream.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

const int kCells = 1000;
const long kPoints = long(kCells + 1) * (kCells + 1);
const char* const kExpressions[] = {"u+0.05*sin(tau*v)", "v+0.05*cos(tau*u)", "0.2*sin(tau*u/2)*cos(tau*v/2)"};

std::string model(const char* name) {
  std::ifstream in(std::string(PELGROVE_BENCH_MODELS "/") + name);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void run_model(benchmark::State& state, const char* name, const std::string& before = "",
               const std::string& sizes = "") {
  static const bool mapped = [] {
    map_builders("");
    map_commands();
    return true;
  }();
  (void)mapped;
  std::string script = model(name);
  if (!sizes.empty()) script.replace(script.find("1000 1000"), 9, sizes);
  script = before + script;
  if (script.empty()) {
    state.SkipWithError("model not found");
    return;
  }
  for (auto _ : state) {
    reset_script_state();
    scriptstream_priv s(script);
    benchmark::DoNotOptimize(run_script(s));
  }
  Grid::destroy_grids();
  state.SetItemsProcessed(state.iterations() * kPoints);
}

void BM_BuildPlate(benchmark::State& state) { run_model(state, "plate-1000.vmf"); }
BENCHMARK(BM_BuildPlate)->Unit(benchmark::kMillisecond);

void BM_BuildPplate(benchmark::State& state) { run_model(state, "pplate-1000.vmf"); }
BENCHMARK(BM_BuildPplate)->Unit(benchmark::kMillisecond);

// Graded lattices: a graded plate weighs each edge once; a transition weighs every point.
const char* const kGraded = "set u_spacing bias 5 set v_spacing cluster 3\n";
void BM_BuildGradedPlate(benchmark::State& state) { run_model(state, "plate-1000.vmf", kGraded); }
BENCHMARK(BM_BuildGradedPlate)->Unit(benchmark::kMillisecond);

void BM_BuildTransition(benchmark::State& state) { run_model(state, "plate-1000.vmf", "", "1000:2000 1000"); }
BENCHMARK(BM_BuildTransition)->Unit(benchmark::kMillisecond);

void BM_BuildGradedTransition(benchmark::State& state) {
  run_model(state, "plate-1000.vmf", kGraded, "1000:2000 1000");
}
BENCHMARK(BM_BuildGradedTransition)->Unit(benchmark::kMillisecond);

// Every point of the lattice, row by row, through `evaluate`.
template <class Evaluate>
void over_lattice(benchmark::State& state, Evaluate evaluate) {
  gParameters["tau"] = 6.283185307179586;
  double* u = &gParameters["u"];
  double* v = &gParameters["v"];
  for (auto _ : state) {
    double sum = 0;
    for (int j = 0; j <= kCells; ++j)
      for (int i = 0; i <= kCells; ++i) {
        *u = double(i) / kCells;
        *v = double(j) / kCells;
        sum += evaluate();
      }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kPoints);
}

void BM_ExpressionsInterpreted(benchmark::State& state) {
  over_lattice(state, [] {
    double s = 0;
    for (const char* text : kExpressions) s += evaluate_expression(text);
    return s;
  });
}
BENCHMARK(BM_ExpressionsInterpreted)->Unit(benchmark::kMillisecond);

void BM_ExpressionsCompiled(benchmark::State& state) {
  gParameters["tau"] = 0;
  gParameters["u"] = gParameters["v"] = 0;
  CompiledExpression x(kExpressions[0]), y(kExpressions[1]), z(kExpressions[2]);
  over_lattice(state, [&] { return x.evaluate() + y.evaluate() + z.evaluate(); });
}
BENCHMARK(BM_ExpressionsCompiled)->Unit(benchmark::kMillisecond);

}  // namespace
