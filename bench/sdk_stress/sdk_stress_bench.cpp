// The stress run at bench length: each seed runs for the given time (default 120 s) in as
// many rounds as fit, and the figures are printed: operations and callbacks per second,
// rounds, faults with their replay line.
// Usage: sdk_stress_bench [seconds] [first seed] [seed count]   (run from the tree's bin/)
#include <cstdio>
#include <cstdlib>

#include "stress/stress_run.h"

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? atof(argv[1]) : 120;
  const unsigned first = argc > 2 ? static_cast<unsigned>(atoi(argv[2])) : 100;
  const unsigned count = argc > 3 ? static_cast<unsigned>(atoi(argv[3])) : 1;
  size_t faults = 0;
  for (unsigned seed = first; seed < first + count; ++seed) {
    kiv_stress::StressConfig config;
    config.seed = seed;
    config.rounds = 1000000;
    config.threads = 6;
    config.opsPerThread = 400;
    config.seconds = seconds;
    config.stallSeconds = 30;
    config = kiv_stress::FromEnvironment(config);
    const kiv_stress::StressResult result = kiv_stress::RunStress(config);
    printf("%s", kiv_stress::Describe(config, result).c_str());
    printf("  %.0f operations/s, %.0f callbacks/s, %.2f s per round\n", result.operations / result.seconds,
           result.callbacks / result.seconds, result.rounds ? result.seconds / result.rounds : 0.0);
    for (const auto& op : result.perOperation)
      printf("    %-18s %llu\n", op.first.c_str(), (unsigned long long)op.second);
    fflush(stdout);
    faults += result.faultCount;
  }
  return faults ? 1 : 0;
}
