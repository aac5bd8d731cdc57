// The exact failure probability of the dodecahedron network (bench/tools/network_formulas.hpp)
// by trying all 2^30 states of its links, the reference of the two-sided benchmark:
//
//   dodecahedron_exact uniform Q      every link fails with chance Q
//   dodecahedron_exact links SEED     link i fails with the i-th chance of
//                                     logUniformChances(30, 1e-4, 1e-2, SEED)
//
// Bit-parallel: one 64-bit word holds the 64 states of links 0..5 for one state of links
// 6..29; the terminal's reachability spreads over the working links word-wide until it stops
// growing, and the failing lanes' chances are summed by byte tables. The chance of a state of
// links 6..29 is the product of two 12-link tables. Every term is positive, so the sum (long
// double, by word) has no cancellation: about 1e-12 relative. Prints the failure probability
// and the CPU seconds; a few CPU minutes at most.

#include <array>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "network_formulas.hpp"
#include "support/cpu_time.hpp"

namespace {

// The chance that the terminals are not joined by working links, link i failing with fail[i].
long double failureProbability(const monocount::bench::Network& network, const std::vector<double>& fail) {
  constexpr int kLane = 6;                   // links 0..5 vary across the 64 lanes of a word
  constexpr int kHalf = 12;                  // links 6..17 and 18..29: the two table halves
  const int links = static_cast<int>(network.links.size());
  if (links != kLane + 2 * kHalf) throw std::invalid_argument("the enumerator is written for 30 links");
  const auto works = [&](int link) { return 1.0L - static_cast<long double>(fail[static_cast<std::size_t>(link)]); };
  // Lane masks of links 0..5: link j works in lane l when bit j of l is set.
  std::array<std::uint64_t, kLane> laneWorks{};
  for (int j = 0; j < kLane; ++j) {
    for (int lane = 0; lane < 64; ++lane) {
      if ((lane >> j) & 1) laneWorks[static_cast<std::size_t>(j)] |= std::uint64_t{1} << lane;
    }
  }
  // The chance of each lane's state, and per byte of a lane mask the sum over its set lanes.
  std::array<long double, 64> lane{};
  for (int l = 0; l < 64; ++l) {
    long double chance = 1.0L;
    for (int j = 0; j < kLane; ++j) chance *= ((l >> j) & 1) ? works(j) : static_cast<long double>(fail[static_cast<std::size_t>(j)]);
    lane[static_cast<std::size_t>(l)] = chance;
  }
  std::array<std::array<long double, 256>, 8> byteSum{};
  for (int b = 0; b < 8; ++b) {
    for (int m = 0; m < 256; ++m) {
      long double sum = 0.0L;
      for (int i = 0; i < 8; ++i) {
        if ((m >> i) & 1) sum += lane[static_cast<std::size_t>(8 * b + i)];
      }
      byteSum[static_cast<std::size_t>(b)][static_cast<std::size_t>(m)] = sum;
    }
  }
  // The chance of each state of links 6..17 and of links 18..29.
  const auto halfTable = [&](int first) {
    std::vector<long double> table(std::size_t{1} << kHalf);
    for (std::size_t state = 0; state < table.size(); ++state) {
      long double chance = 1.0L;
      for (int j = 0; j < kHalf; ++j) {
        chance *= ((state >> j) & 1) ? works(first + j) : static_cast<long double>(fail[static_cast<std::size_t>(first + j)]);
      }
      table[state] = chance;
    }
    return table;
  };
  const std::vector<long double> low = halfTable(kLane);
  const std::vector<long double> high = halfTable(kLane + kHalf);
  long double total = 0.0L;
  std::vector<std::uint64_t> reach(static_cast<std::size_t>(network.vertices));
  std::vector<std::uint64_t> working(static_cast<std::size_t>(links));
  for (std::size_t h = 0; h < high.size(); ++h) {
    long double inner = 0.0L;
    for (std::size_t l = 0; l < low.size(); ++l) {
      const std::size_t state = l | (h << kHalf);  // bits of links 6..29
      for (int j = 0; j < links; ++j) {
        working[static_cast<std::size_t>(j)] =
            j < kLane ? laneWorks[static_cast<std::size_t>(j)] : (((state >> (j - kLane)) & 1) ? ~std::uint64_t{0} : 0);
      }
      std::fill(reach.begin(), reach.end(), 0);
      reach[static_cast<std::size_t>(network.source)] = ~std::uint64_t{0};
      for (bool grew = true; grew;) {
        grew = false;
        for (int j = 0; j < links; ++j) {
          const auto& [u, v] = network.links[static_cast<std::size_t>(j)];
          std::uint64_t& a = reach[static_cast<std::size_t>(u)];
          std::uint64_t& b = reach[static_cast<std::size_t>(v)];
          const std::uint64_t joined = (a | b) & working[static_cast<std::size_t>(j)];
          if ((joined & ~a) != 0 || (joined & ~b) != 0) {
            a |= joined;
            b |= joined;
            grew = true;
          }
        }
      }
      const std::uint64_t failing = ~reach[static_cast<std::size_t>(network.sink)];
      long double sum = 0.0L;
      for (int b = 0; b < 8; ++b) sum += byteSum[static_cast<std::size_t>(b)][(failing >> (8 * b)) & 0xff];
      inner += sum * low[l];
    }
    total += inner * high[h];
  }
  return total;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace monocount::bench;
  if (argc != 3) {
    std::cerr << "usage: dodecahedron_exact uniform Q | links SEED\n";
    return 2;
  }
  try {
    const Network network = dodecahedron();
    const std::string mode = argv[1];
    std::vector<double> fail;
    if (mode == "uniform") {
      fail.assign(network.links.size(), std::strtod(argv[2], nullptr));
    } else if (mode == "links") {
      fail = logUniformChances(network.links.size(), 1e-4, 1e-2, std::strtoull(argv[2], nullptr, 10));
    } else {
      throw std::invalid_argument("expected uniform Q or links SEED");
    }
    const double start = monocount::bench::cpuSeconds();
    const long double failure = failureProbability(network, fail);
    std::printf("dodecahedron %s %s: failure probability %.13Le (%.1f CPU s)\n", argv[1], argv[2], failure,
                monocount::bench::cpuSeconds() - start);
  } catch (const std::exception& error) {
    std::cerr << "dodecahedron_exact: " << error.what() << "\n";
    return 2;
  }
  return 0;
}
