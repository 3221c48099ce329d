// The script loop: passes of a repeat block that sets one parameter from an expression,
// run through the interpreter as a script would run them. Items are passes.
#include "interp/interp.h"
#include "script/parameters.h"
#include "script/scriptstream.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

void run_loop(benchmark::State& state, const std::string& body) {
  static const bool mapped = [] {
    map_commands();
    return true;
  }();
  (void)mapped;
  const long passes = state.range(0);
  const std::string script = "set s 0\nrepeat " + std::to_string(passes) + " {\n" + body + "\n}\n";
  for (auto _ : state) {
    reset_script_state();
    scriptstream_priv s(script);
    benchmark::DoNotOptimize(run_script(s));
  }
  // Every partial sum is a multiple of 0.5 below 2^53: exact.
  if (gParameters["s"] != 0.25 * double(passes) * double(passes - 1) - double(passes))
    state.SkipWithError("the loop computed a different sum");
  state.SetItemsProcessed(state.iterations() * passes);
}

// s <- s + i/2 - 1 over passes i = 0 .. n-1.
void BM_RepeatSet(benchmark::State& state) { run_loop(state, "set s [s + $0 * 0.5 - 1]"); }
BENCHMARK(BM_RepeatSet)->Arg(1000000)->Unit(benchmark::kMillisecond);

// The same sum over two commands of the block, the second one on its own line.
void BM_RepeatTwoSets(benchmark::State& state) {
  run_loop(state, "set s [s + $0 * 0.5]\nset s [s - 1]");
}
BENCHMARK(BM_RepeatTwoSets)->Arg(1000000)->Unit(benchmark::kMillisecond);

// The same sum in a block with a command other than `set`: each pass is read again.
void BM_RepeatReread(benchmark::State& state) { run_loop(state, "set s [s + $0 * 0.5 - 1]\nif 0 { }"); }
BENCHMARK(BM_RepeatReread)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace
