#include "driver/summary.hpp"

#include <charconv>
#include <cmath>

namespace monocount {

const char* runEndName(RunEnd end) {
  switch (end) {
    case RunEnd::timeLimit: return "time limit";
    case RunEnd::targetReached: return "target reached";
    case RunEnd::interrupted: return "interrupted";
    case RunEnd::completed: break;
  }
  return "completed";
}

const char* countTypeName(CountType type) {
  switch (type) {
    case CountType::wmc: return "wmc";
    case CountType::pmc: return "pmc";
    case CountType::pwmc: return "pwmc";
    case CountType::mc: break;
  }
  return "mc";
}

bool isWeightedType(CountType type) { return type == CountType::wmc || type == CountType::pwmc; }

std::optional<double> log10Of(const WideReal& value) {
  if (!value.isFinite() || value.isZero()) return std::nullopt;
  return static_cast<double>(value.log10Abs());
}

std::string exactText(double value) {
  if (std::isnan(value)) return "nan";
  char digits[64];
  const auto [end, error] = std::to_chars(digits, digits + sizeof digits, value);
  return std::string(digits, end);
}

std::string exactText(const WideReal& value) {
  if (value.isFinite() && !value.fitsDouble()) return toString(value);
  return exactText(value.toDouble());
}

std::string floatText(double value) {
  if (std::isnan(value)) return "nan";
  char digits[64];
  const auto [end, error] = std::to_chars(digits, digits + sizeof digits, static_cast<float>(value));
  return std::string(digits, end);
}

}  // namespace monocount
