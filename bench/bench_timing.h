// Timing shared by the benchmarks that compare a subject with a reference in
// the same run: each iteration's wall time is reported as the manual time
// (benchmarks registered with UseManualTime()), and the mean time per
// iteration is returned so that a later benchmark can report its ratio.
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>

namespace kelda::bench {

template <typename Body>
double timed(benchmark::State& state, Body body) {
  double total = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    body();
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(elapsed);
    total += elapsed;
  }
  return state.iterations() == 0 ? 0 : total / static_cast<double>(state.iterations());
}

}  // namespace kelda::bench
