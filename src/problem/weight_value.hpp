#pragma once

#include <string_view>

namespace monocount {

// A literal's weight as a weighted file writes it: a decimal ("0.9", "1e-9", ".5", "3.") or a
// fraction of two decimals ("1/3"), read exactly and only then rounded, so that 1 - w keeps its
// own relative precision however close w is to 1. "-0" is 0.
struct WeightValue {
  enum Status {
    kOk,
    kUnreadable,       // not a decimal or fraction ("0.5x", "", "1/")
    kNegative,         // below 0
    kNotFinite,        // "inf", "nan", "infinity" in any case, with or without a sign
    kZeroDenominator,  // a fraction over 0
    kOutOfRange,       // not 0, and outside a double's normal range (2.2e-308 .. 1.8e308)
  } status = kUnreadable;
  // kOk only, each rounded from its exact value to within one unit in the last place:
  double value = 0.0;       // the weight
  double complement = 0.0;  // 1 - the weight; NaN when that is negative, or not 0 but below
                            // 2.2e-308
};

WeightValue readWeightValue(std::string_view text);

}  // namespace monocount
