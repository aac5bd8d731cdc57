#include "driver/mcc_report.hpp"

#include <gtest/gtest.h>

#include <boost/multiprecision/cpp_int.hpp>
#include <sstream>

namespace monocount {
namespace {

TEST(MccWriter, DecimalIntegersOfEveryMagnitude) {
  const boost::multiprecision::cpp_int twoTo1500 = boost::multiprecision::cpp_int(1) << 1500;
  struct Case {
    WideReal value;
    std::string digits;
  };
  const Case cases[] = {
      {0.0, "0"},
      {0.49, "0"},
      {0.5, "1"},
      {3.0, "3"},
      {5651853.5, "5651854"},
      {WideReal::powerOfTwo(64) * WideReal(1.5), "27670116110564327424"},
      {WideReal::powerOfTwo(1500), twoTo1500.str()},
  };
  for (const Case& c : cases) EXPECT_EQ(decimalInteger(c.value), c.digits) << c.digits;
}

TEST(MccWriter, SolutionLinesFollowTheComments) {
  struct Case {
    WideReal estimate;
    const char* tail;
  };
  const Case cases[] = {
      {3.0, "s SATISFIABLE\nc s type mc\nc s log10-estimate 0.4771212547\nc s approx arb int 3\n"},
      {0.0, "s UNSATISFIABLE\nc s type mc\nc s log10-estimate -inf\nc s approx arb int 0\n"},
      {WideReal(std::nan("")), "c o pooled estimate nan of 0 replications, RE n/a\ns UNKNOWN\n"},
  };
  for (const Case& c : cases) {
    std::ostringstream out;
    MccWriter writer(out);
    RunDescription description;
    description.options.problemPath = "a\nb.cnf";  // a line break in the path stays in its comment line
    writer.start(description);
    RunSummary summary;
    summary.pooled.count.mean = c.estimate;
    writer.finish(summary);
    const std::string text = out.str();
    EXPECT_EQ(text.rfind("c o monocount ", 0), 0u);
    EXPECT_NE(text.find("c o problem a?b.cnf, variables 0"), std::string::npos) << text;
    EXPECT_EQ(text.substr(text.size() - std::string(c.tail).size()), c.tail) << text;
  }
}

}  // namespace
}  // namespace monocount
