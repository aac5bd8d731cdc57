#pragma once

#include <array>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string_view>

namespace monocount {

class RunWriter;

// How the run's results are written on standard output.
enum class Format { table, json, csv, mcc };

// One table of the formats, which the options (names and help), the writer factory and every
// list of formats read: adding a format is one row here and its writer's own files.
struct FormatEntry {
  Format format;
  const char* name;         // as --format takes it
  const char* description;  // for --help, after the name in parentheses; null for none
  std::unique_ptr<RunWriter> (*makeWriter)(std::ostream& out);
};
extern const std::array<FormatEntry, 4> kFormats;

// The format's row of kFormats.
const FormatEntry& formatEntry(Format format);
// The format of that name, if any.
std::optional<Format> formatNamed(std::string_view name);

}  // namespace monocount
