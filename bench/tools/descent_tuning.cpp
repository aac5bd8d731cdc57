// The spread of split's roots against their cost, for choosing the particles and walk steps:
//   descent_tuning FILE ROOTS SEED PARTICLES:WALK...
// For each setting, runs ROOTS roots on one thread and prints the relative variance of one
// root (its variance over its squared mean), the CPU seconds per root, and their product, the
// work-normalized variance: the CPU time a replication needs for a relative error of 1 (divide
// by RE^2 for another). The smaller the product, the better the setting; the mean is printed
// too, so that settings which disagree beyond their errors stand out.

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <string>

#include "estimation/splitting/splitting_estimator.hpp"
#include "problem/dimacs.hpp"
#include "support/cpu_time.hpp"

int main(int argc, char** argv) {
  using namespace monocount;
  if (argc < 5) {
    std::cerr << "usage: descent_tuning FILE ROOTS SEED PARTICLES:WALK...\n";
    return 2;
  }
  try {
    const Problem problem = readDimacs(argv[1]);
    const auto roots = static_cast<std::int32_t>(std::atoi(argv[2]));
    const auto seed = static_cast<std::uint32_t>(std::strtoul(argv[3], nullptr, 10));
    std::printf("%s, %d roots, seed %u\n  %9s %5s %14s %10s %12s %12s %8s\n", argv[1], roots, seed, "particles", "walk",
                "mean", "RE", "root relvar", "CPU s/root", "product");
    for (int i = 4; i < argc; ++i) {
      const std::string setting = argv[i];
      const std::size_t colon = setting.find(':');
      DescentSettings settings;
      settings.particles = std::stoi(setting.substr(0, colon));
      settings.walkSteps = colon == std::string::npos ? 0 : std::stoi(setting.substr(colon + 1));
      SplittingEstimator estimator(problem, seed, settings);
      const double start = monocount::bench::cpuSeconds();
      const Replication row = estimator.estimateModelCount(roots);
      const double perRoot = (monocount::bench::cpuSeconds() - start) / roots;
      const double relativeVariance = row.relativeError * row.relativeError * roots;
      std::printf("  %9d %5d %14s %10.4f %12.3f %12.5f %8.4f\n", settings.particles, settings.walkSteps,
                  toString(row.estimate).c_str(),
                  row.relativeError, relativeVariance, perRoot, relativeVariance * perRoot);
    }
  } catch (const std::exception& error) {
    std::cerr << "descent_tuning: " << error.what() << "\n";
    return 2;
  }
  return 0;
}
