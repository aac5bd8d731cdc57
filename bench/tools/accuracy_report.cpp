// Turns monocount reports into the lines of the accuracy benchmark.
//
//   accuracy_report row NAME VARIABLES EXACT SPLIT_N SPLIT_REPORT CRUDE_N CRUDE_REPORT
//     One Markdown table row: the formula, its variable count, exact count and satisfying
//     fraction, then for each method the pooled estimate of its replications (their mean),
//     its error in percent and in pooled standard errors, N and the total CPU seconds. The
//     pooled standard error is sqrt(sum (estimate_i * RE_i)^2) / R.
//   accuracy_report header
//     The table's header lines.
//   accuracy_report coverage EXACT REPORT
//     How often the exact count lies within 1 and 2 reported standard errors (estimate * RE)
//     of a replication's estimate.
//   accuracy_report cpu REPORT
//     The CPU seconds of the replications, one per line (for calibrating N).
//
// Reports are read as monocount writes them: the replication rows "i estimate RE CPU" between
// the two rules of hyphens.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct Replication {
  long double estimate;
  long double relativeError;
  double cpu;
};

std::vector<Replication> readReport(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::vector<Replication> rows;
  std::string line;
  int rules = 0;
  while (std::getline(in, line)) {
    if (line.rfind("-----", 0) == 0) {
      ++rules;
      continue;
    }
    if (rules != 1) continue;
    std::istringstream fields(line);
    std::string index, estimate, error, cpu;
    if (!(fields >> index >> estimate >> error >> cpu)) throw std::runtime_error("unreadable row in " + path + ": " + line);
    rows.push_back({std::strtold(estimate.c_str(), nullptr), std::strtold(error.c_str(), nullptr), std::stod(cpu)});
  }
  if (rows.empty()) throw std::runtime_error("no replication rows in " + path);
  return rows;
}

std::string general(long double value, int digits = 4) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*Lg", digits, value);
  return text;
}

std::string fixed(long double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*Lf", decimals, value);
  return text;
}

// "| pooled | err % | err in SE | N | CPU s" for one method.
std::string pooledColumns(const std::vector<Replication>& rows, long double exact, const std::string& sampleSize) {
  long double sum = 0;
  long double variance = 0;
  double cpu = 0;
  for (const Replication& row : rows) {
    sum += row.estimate;
    const long double error = row.estimate * row.relativeError;
    variance += error * error;
    cpu += row.cpu;
  }
  const long double count = static_cast<long double>(rows.size());
  const long double pooled = sum / count;
  const long double standardError = std::sqrt(variance) / count;
  std::ostringstream out;
  out << " | " << general(pooled) << " | " << fixed(100 * (pooled / exact - 1), 1) << " | "
      << fixed((pooled - exact) / standardError, 1) << " | " << sampleSize << " | " << fixed(cpu, 1);
  return out.str();
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && args[0] == "header") {
      std::cout << "| formula | n | exact count | fraction | split: pooled | err % | err / SE | N | CPU s"
                   " | crude: pooled | err % | err / SE | N | CPU s |\n"
                   "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n";
    } else if (args.size() == 8 && args[0] == "row") {
      const long double exact = std::strtold(args[3].c_str(), nullptr);
      const long double fraction = std::ldexp(exact, -std::stoi(args[2]));
      std::cout << "| " << args[1] << " | " << args[2] << " | " << general(exact) << " | " << general(fraction, 2)
                << pooledColumns(readReport(args[5]), exact, args[4])
                << pooledColumns(readReport(args[7]), exact, args[6]) << " |\n";
    } else if (args.size() == 3 && args[0] == "coverage") {
      const long double exact = std::strtold(args[1].c_str(), nullptr);
      const std::vector<Replication> rows = readReport(args[2]);
      int withinOne = 0;
      int withinTwo = 0;
      long double meanError = 0;
      for (const Replication& row : rows) {
        const long double distance = std::fabs(row.estimate - exact) / (row.estimate * row.relativeError);
        withinOne += distance <= 1 ? 1 : 0;
        withinTwo += distance <= 2 ? 1 : 0;
        meanError += row.relativeError / static_cast<long double>(rows.size());
      }
      const double count = static_cast<double>(rows.size());
      std::cout << rows.size() << " replications, mean reported RE " << fixed(100 * meanError, 2) << " %: truth within 1 SE in "
                << fixed(100 * withinOne / count, 1) << " % (nominal 68.3 %), within 2 SE in " << fixed(100 * withinTwo / count, 1)
                << " % (nominal 95.4 %)\n";
    } else if (args.size() == 2 && args[0] == "cpu") {
      for (const Replication& row : readReport(args[1])) std::cout << row.cpu << '\n';
    } else {
      throw std::invalid_argument("usage: accuracy_report header | row NAME N EXACT SPLIT_N SPLIT CRUDE_N CRUDE | coverage EXACT REPORT | cpu REPORT");
    }
  } catch (const std::exception& error) {
    std::cerr << "accuracy_report: " << error.what() << '\n';
    return 1;
  }
  return 0;
}
