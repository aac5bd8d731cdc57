// Reading speed of the DIMACS reader on a random 3-CNF of 1,000,000 variables and 3,000,000
// clauses (about 68 MB of text), plain and gzip-compressed. Each benchmark prints MB/s of
// DIMACS text (bytes_per_second) and, as "vs_getline", its speed over the baseline measured
// first in the same run: std::getline and stream extraction of every field, the way a plain
// reader goes about it.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <boost/iostreams/filter/gzip.hpp>
#include <boost/iostreams/filtering_stream.hpp>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "problem/dimacs.hpp"
#include "problem/input_source.hpp"
#include "support/formulas.hpp"

namespace {

struct Files {
  std::string plain;
  std::string gzip;
  std::int64_t bytes = 0;
  Files() {
    std::ostringstream text;
    monocount::support::writeDimacs(monocount::support::randomMonotoneCnf(1'000'000, 3'000'000, 3, 7), text);
    const std::string stem = "/tmp/monocount_reader_bench_" + std::to_string(::getpid());
    plain = stem + ".cnf";
    gzip = stem + ".cnf.gz";
    const std::string content = text.str();
    bytes = static_cast<std::int64_t>(content.size());
    std::ofstream(plain, std::ios::binary) << content;
    std::ofstream file(gzip, std::ios::binary);
    boost::iostreams::filtering_ostream out;
    out.push(boost::iostreams::gzip_compressor());
    out.push(file);
    out << content;
    out.reset();
  }
  ~Files() {
    std::remove(plain.c_str());
    std::remove(gzip.c_str());
  }
};

const Files& files() {
  static const Files instance;
  return instance;
}

double baselineSeconds = 0.0;  // per read, from BM_Baseline_Getline

void finish(benchmark::State& state, double seconds) {
  state.SetBytesProcessed(state.iterations() * files().bytes);
  if (baselineSeconds > 0.0) state.counters["vs_getline"] = baselineSeconds / seconds;
}

template <typename Read>
void measure(benchmark::State& state, Read read) {
  files();
  double total = 0.0;
  for (auto _ : state) {
    const std::clock_t start = std::clock();
    read();
    total += static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
  }
  finish(state, total / static_cast<double>(state.iterations()));
}

void BM_Baseline_Getline(benchmark::State& state) {
  double total = 0.0;
  files();
  for (auto _ : state) {
    const std::clock_t start = std::clock();
    std::ifstream in(files().plain);
    std::vector<std::int32_t> literals;
    std::string line;
    while (std::getline(in, line)) {
      if (line.empty() || line[0] == 'c' || line[0] == 'p') continue;
      std::istringstream fields(line);
      for (std::int32_t literal = 0; fields >> literal;) literals.push_back(literal);
    }
    benchmark::DoNotOptimize(literals.data());
    total += static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
  }
  baselineSeconds = total / static_cast<double>(state.iterations());
  finish(state, baselineSeconds);
}

void BM_ReadDimacs_Plain(benchmark::State& state) {
  measure(state, [] { benchmark::DoNotOptimize(monocount::readDimacs(files().plain).literals.data()); });
}

void BM_ReadDimacs_Gzip(benchmark::State& state) {
  measure(state, [] { benchmark::DoNotOptimize(monocount::readDimacs(files().gzip).literals.data()); });
}

// The decompressed bytes alone, without parsing: the ceiling for gzip input.
void BM_InputSource_GzipBytesOnly(benchmark::State& state) {
  measure(state, [] {
    monocount::InputSource input(files().gzip);
    std::vector<char> buffer(1 << 20);
    while (input.read(buffer.data(), buffer.size()) > 0) benchmark::ClobberMemory();
  });
}

}  // namespace

BENCHMARK(BM_Baseline_Getline)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_ReadDimacs_Plain)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ReadDimacs_Gzip)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_InputSource_GzipBytesOnly)->Unit(benchmark::kMillisecond)->Iterations(5);

BENCHMARK_MAIN();
