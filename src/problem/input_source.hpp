#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace monocount {

// How the bytes of a problem file are stored.
enum class Compression { none, gzip, xz, bzip2, zstd };

// The bytes of a problem file as the reader wants them: read from a path or from standard
// input, decompressed on the fly when they are gzip, xz, bzip2 or zstd data. The format is
// known by the first bytes (the formats' magic numbers), so a compressed file is read whatever
// its name; a name ending in .gz, .xz, .bz2 or .zst whose bytes are not of that format is
// refused. Concatenated streams (cat a.gz b.gz) read as one.
//
// Every failure throws InputError naming the input as messages show it (name()):
//   "NAME: cannot open: REASON"  (the system's reason)
//   "NAME: cannot read: REASON"
//   "NAME: corrupt gzip data: REASON"  (the decompressor's reason: "unexpected end of data", ...)
class InputSource {
 public:
  // Opens `path`; "-" is standard input (which is read but never closed).
  explicit InputSource(const std::string& path);
  // Reads `bytes`, which must outlive the source, as the contents of a file named `name`.
  InputSource(std::string_view bytes, const std::string& name);
  ~InputSource();
  InputSource(const InputSource&) = delete;
  InputSource& operator=(const InputSource&) = delete;

  // Fills `buffer` with up to `capacity` (> 0) decompressed bytes and returns how many; 0 only
  // at the end of the data.
  std::size_t read(char* buffer, std::size_t capacity);

  // The input as messages name it: "<stdin>" for "-", otherwise the path made visible
  // (visibleText: an empty path is "", control bytes are escaped).
  const std::string& name() const;
  Compression compression() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace monocount
