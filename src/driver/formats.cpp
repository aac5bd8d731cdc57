#include "driver/formats.hpp"

#include <algorithm>

#include "driver/csv_report.hpp"
#include "driver/json_report.hpp"
#include "driver/mcc_report.hpp"
#include "driver/report.hpp"

namespace monocount {

namespace {

template <typename Writer>
std::unique_ptr<RunWriter> make(std::ostream& out) {
  return std::make_unique<Writer>(out);
}

}  // namespace

const std::array<FormatEntry, 4> kFormats{{
    {Format::table, "table", "the classic report, the default", make<TableWriter>},
    {Format::json, "json", nullptr, make<JsonWriter>},
    {Format::csv, "csv", nullptr, make<CsvWriter>},
    {Format::mcc, "mcc", "the lines of model-counting benchmark harnesses", make<MccWriter>},
}};

const FormatEntry& formatEntry(Format format) {
  return *std::find_if(kFormats.begin(), kFormats.end(), [&](const FormatEntry& entry) { return entry.format == format; });
}

std::optional<Format> formatNamed(std::string_view name) {
  for (const FormatEntry& entry : kFormats) {
    if (name == entry.name) return entry.format;
  }
  return std::nullopt;
}

}  // namespace monocount
