#include "driver/csv_report.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

namespace monocount {
namespace {

TEST(CsvWriter, RowsThenTheSectionsAsked) {
  std::ostringstream out;
  CsvWriter writer(out);
  writer.start({});
  writer.row({1, WideReal(5598861.25), 0.0236484, 0.138108f, 0.25, 1000, false});
  writer.row({2, WideReal::powerOfTwo(1500), std::nan(""), 0.5, 1.0, 1000, false});
  writer.row({3, WideReal(7.0), 0.0, 0.5, 1.0, 1, true});  // one sample: no RE; cut short
  RunSummary summary;
  summary.end = RunEnd::timeLimit;
  PooledValue half{0.5, std::nullopt, 0.125, std::nullopt, std::nullopt};
  summary.pooled.count = half;
  summary.pooled.complement = half;
  summary.pooled.spectrum = {{0, false, {}, true, half}, {1, true, half, false, {}}};
  summary.pooled.probabilities = {{VariableProbabilities::uniform(0.25), false, half, half}};
  writer.finish(summary);
  EXPECT_EQ(out.str(),
            "replication,estimate,log10,RE,CPU,wall,samples,truncated\n"
            "1,5598861.25,6.7480997050184675,0.0236484,0.138108,0.25,1000,false\n"
            "2,3.50747e+451,451.54499349597177,,0.5,1,1000,false\n"
            "3,7,0.8450980400142568,,0.5,1,1,true\n"
            "\nanswer,estimate,log10,RE\ncount,0.5,-0.3010299956639812,0.125\ncomplement,0.5,-0.3010299956639812,0.125\n"
            "\nsize,count,log10,RE,failing,failingLog10,failingRE\n0,,,,0.5,-0.3010299956639812,0.125\n"
            "1,0.5,-0.3010299956639812,0.125,,,\n"
            "\np,probability,log10,RE,failure,failureLog10,failureRE\n"
            "0.25,0.5,-0.3010299956639812,0.125,0.5,-0.3010299956639812,0.125\n"
            "\nend,signal\ntime limit,\n");
}

}  // namespace
}  // namespace monocount
