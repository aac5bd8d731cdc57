#include "problem/input_source.hpp"

#include <bzlib.h>
#include <fcntl.h>
#include <lzma.h>
#include <unistd.h>
#include <zlib.h>
#include <zstd.h>

#include <boost/iostreams/filter/bzip2.hpp>
#include <boost/iostreams/filter/gzip.hpp>
#include <boost/iostreams/filter/lzma.hpp>
#include <boost/iostreams/filtering_streambuf.hpp>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ios>

#include "problem/input_error.hpp"
#include "problem/visible_text.hpp"

namespace monocount {

namespace io = boost::iostreams;

namespace {

constexpr std::size_t kMagicBytes = 6;  // the longest magic number, xz's

struct Format {
  Compression compression;
  const char* name;
  const char* suffix;
  std::string_view magic;
};

constexpr Format kFormats[] = {
    {Compression::gzip, "gzip", ".gz", std::string_view("\x1f\x8b", 2)},
    {Compression::xz, "xz", ".xz", std::string_view("\xfd" "7zXZ\0", 6)},
    {Compression::bzip2, "bzip2", ".bz2", std::string_view("BZh", 3)},
    {Compression::zstd, "zstd", ".zst", std::string_view("\x28\xb5\x2f\xfd", 4)},
};

const Format* formatOf(Compression compression) {
  for (const Format& format : kFormats)
    if (format.compression == compression) return &format;
  return nullptr;
}

bool endsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// The decompressors' error codes (each library's own, which Boost hands on) in words.
std::string zlibReason(int code) {
  switch (code) {
    case Z_DATA_ERROR: return "invalid compressed data";
    case Z_BUF_ERROR: return "unexpected end of data";
    case Z_MEM_ERROR: return "not enough memory";
    default: return "zlib error " + std::to_string(code);
  }
}

std::string gzipReason(const io::gzip_error& error) {
  switch (error.error()) {
    case io::gzip::zlib_error: return zlibReason(error.zlib_error_code());
    case io::gzip::bad_crc: return "the data does not match its CRC";
    case io::gzip::bad_length: return "the data does not match its length";
    case io::gzip::bad_header: return "bad gzip header";
    case io::gzip::bad_footer: return "bad gzip footer";
    case io::gzip::bad_method: return "unsupported compression method";
    default: return "gzip error " + std::to_string(error.error());
  }
}

std::string lzmaReason(int code) {
  switch (code) {
    case LZMA_UNSUPPORTED_CHECK: return "unsupported integrity check";
    case LZMA_MEM_ERROR: case LZMA_MEMLIMIT_ERROR: return "not enough memory";
    case LZMA_FORMAT_ERROR: return "not in xz format";
    case LZMA_OPTIONS_ERROR: return "unsupported options";
    case LZMA_DATA_ERROR: return "invalid compressed data";
    case LZMA_BUF_ERROR: return "unexpected end of data";
    default: return "xz error " + std::to_string(code);
  }
}

std::string bzip2Reason(int code) {
  switch (code) {
    case BZ_DATA_ERROR: return "invalid compressed data";
    case BZ_DATA_ERROR_MAGIC: return "not in bzip2 format";
    case BZ_UNEXPECTED_EOF: return "unexpected end of data";
    case BZ_MEM_ERROR: return "not enough memory";
    default: return "bzip2 error " + std::to_string(code);
  }
}

}  // namespace

struct InputSource::Impl {
  std::string name;
  Compression compression = Compression::none;

  // The raw bytes: a file descriptor, or memory; the first bytes are read ahead into `magic`
  // to tell the format, and handed out again before the rest.
  int fd = -1;
  bool ownsFd = false;
  std::string_view memory;
  char magic[kMagicBytes] = {};
  std::size_t magicSize = 0;
  std::size_t magicPos = 0;

  io::filtering_istreambuf boost;  // gzip, xz and bzip2
  ZSTD_DStream* zstd = nullptr;    // zstd: Boost's filter takes a truncated stream for a whole one
  std::unique_ptr<char[]> zstdIn;
  ZSTD_inBuffer zstdInput{nullptr, 0, 0};
  std::size_t zstdHint = 1;        // 0 once a frame is complete and flushed

  ~Impl() {
    if (zstd != nullptr) ZSTD_freeDStream(zstd);
    if (ownsFd) ::close(fd);
  }

  [[noreturn]] void fail(const std::string& what, const std::string& reason) const {
    throw InputError(name + ": " + what + ": " + reason);
  }

  std::size_t readRaw(char* buffer, std::size_t capacity) {
    if (magicPos < magicSize) {
      const std::size_t n = std::min(capacity, magicSize - magicPos);
      std::memcpy(buffer, magic + magicPos, n);
      magicPos += n;
      return n;
    }
    if (fd < 0) {
      const std::size_t n = std::min(capacity, memory.size());
      std::memcpy(buffer, memory.data(), n);
      memory.remove_prefix(n);
      return n;
    }
    for (;;) {
      const ssize_t n = ::read(fd, buffer, capacity);
      if (n >= 0) return static_cast<std::size_t>(n);
      if (errno != EINTR) fail("cannot read", std::strerror(errno));
    }
  }

  // Reads the first bytes and picks the decompressor.
  void start(std::string_view path) {
    while (magicSize < kMagicBytes) {
      const std::size_t n = readRaw(magic + magicSize, kMagicBytes - magicSize);
      if (n == 0) break;
      magicSize += n;
    }
    const std::string_view head(magic, magicSize);
    for (const Format& format : kFormats)
      if (head.substr(0, format.magic.size()) == format.magic) compression = format.compression;
    for (const Format& format : kFormats)
      if (compression == Compression::none && endsWith(path, format.suffix))
        fail("cannot read", std::string("not ") + format.name + " data, although the name ends in " + format.suffix);

    constexpr std::streamsize kBuffer = 1 << 16;
    switch (compression) {
      case Compression::none: return;
      case Compression::gzip: boost.push(io::gzip_decompressor(io::gzip::default_window_bits, kBuffer), kBuffer); break;
      case Compression::xz: boost.push(io::lzma_decompressor(kBuffer), kBuffer); break;
      case Compression::bzip2: boost.push(io::bzip2_decompressor(false, kBuffer), kBuffer); break;
      case Compression::zstd:
        zstd = ZSTD_createDStream();
        if (zstd == nullptr) throw std::bad_alloc();
        zstdIn = std::make_unique_for_overwrite<char[]>(ZSTD_DStreamInSize());
        zstdInput.src = zstdIn.get();
        return;
    }
    boost.push(RawDevice{this}, kBuffer);
  }

  // The raw bytes as a Boost.Iostreams source.
  struct RawDevice {
    using char_type = char;
    using category = io::source_tag;
    Impl* impl;
    std::streamsize read(char* buffer, std::streamsize capacity) {
      const std::size_t n = impl->readRaw(buffer, static_cast<std::size_t>(capacity));
      return n == 0 ? -1 : static_cast<std::streamsize>(n);
    }
  };

  std::size_t readZstd(char* buffer, std::size_t capacity) {
    ZSTD_outBuffer output{buffer, capacity, 0};
    for (;;) {
      // Between frames with all input used: the end, or another frame.
      if (zstdInput.pos == zstdInput.size && zstdHint == 0 && !refillZstd()) return 0;
      const std::size_t hint = ZSTD_decompressStream(zstd, &output, &zstdInput);
      if (ZSTD_isError(hint) != 0) fail("corrupt zstd data", ZSTD_getErrorName(hint));
      zstdHint = hint;
      if (output.pos > 0) return output.pos;
      if (zstdInput.pos < zstdInput.size || zstdHint == 0) continue;
      if (!refillZstd()) fail("corrupt zstd data", "unexpected end of data");
    }
  }

  bool refillZstd() {
    zstdInput.size = readRaw(zstdIn.get(), ZSTD_DStreamInSize());
    zstdInput.pos = 0;
    return zstdInput.size > 0;
  }
};

InputSource::InputSource(const std::string& path) : impl_(std::make_unique<Impl>()) {
  if (path == "-") {
    impl_->name = "<stdin>";
    impl_->fd = STDIN_FILENO;
  } else {
    impl_->name = visibleText(path);
    impl_->fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (impl_->fd < 0) impl_->fail("cannot open", std::strerror(errno));
    impl_->ownsFd = true;
  }
  impl_->start(path == "-" ? std::string_view() : std::string_view(path));
}

InputSource::InputSource(std::string_view bytes, const std::string& name) : impl_(std::make_unique<Impl>()) {
  impl_->name = visibleText(name);
  impl_->memory = bytes;
  impl_->start({});
}

InputSource::~InputSource() = default;

std::size_t InputSource::read(char* buffer, std::size_t capacity) {
  Impl& impl = *impl_;
  switch (impl.compression) {
    case Compression::none: return impl.readRaw(buffer, capacity);
    case Compression::zstd: return impl.readZstd(buffer, capacity);
    default: break;
  }
  const std::string format = formatOf(impl.compression)->name;
  try {
    return static_cast<std::size_t>(std::max<std::streamsize>(0, impl.boost.sgetn(buffer, static_cast<std::streamsize>(capacity))));
  } catch (const io::gzip_error& error) {
    impl.fail("corrupt " + format + " data", gzipReason(error));
  } catch (const io::zlib_error& error) {
    impl.fail("corrupt " + format + " data", zlibReason(error.error()));
  } catch (const io::lzma_error& error) {
    impl.fail("corrupt " + format + " data", lzmaReason(error.error()));
  } catch (const io::bzip2_error& error) {
    impl.fail("corrupt " + format + " data", bzip2Reason(error.error()));
  }
}

const std::string& InputSource::name() const { return impl_->name; }

Compression InputSource::compression() const { return impl_->compression; }

}  // namespace monocount
