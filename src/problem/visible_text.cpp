#include "problem/visible_text.hpp"

namespace monocount {

namespace {

// The length of the well-formed, printable UTF-8 sequence starting at text[i] (1 for printable
// ASCII), or 0 when the byte there must be escaped.
std::size_t printableLength(std::string_view text, std::size_t i) {
  const auto byte = static_cast<unsigned char>(text[i]);
  if (byte < 0x80) return byte >= 0x20 && byte != 0x7f ? 1 : 0;
  std::size_t length = 0;
  unsigned char low = 0x80;  // the range of the second byte
  unsigned char high = 0xbf;
  if (byte >= 0xc2 && byte <= 0xdf) {
    length = 2;
    if (byte == 0xc2) low = 0xa0;  // C1 controls
  } else if (byte >= 0xe0 && byte <= 0xef) {
    length = 3;
    if (byte == 0xe0) low = 0xa0;   // overlong
    if (byte == 0xed) high = 0x9f;  // surrogates
  } else if (byte >= 0xf0 && byte <= 0xf4) {
    length = 4;
    if (byte == 0xf0) low = 0x90;   // overlong
    if (byte == 0xf4) high = 0x8f;  // beyond U+10FFFF
  } else {
    return 0;
  }
  if (text.size() - i < length) return 0;
  const auto second = static_cast<unsigned char>(text[i + 1]);
  if (second < low || second > high) return 0;
  for (std::size_t k = 2; k < length; ++k)
    if ((static_cast<unsigned char>(text[i + k]) & 0xc0) != 0x80) return 0;
  return length;
}

void appendVisible(std::string& out, std::string_view text, bool escapeQuote) {
  static constexpr char kHex[] = "0123456789abcdef";
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = printableLength(text, i);
    if (length > 0) {
      const char ch = text[i];
      if (ch == '\\' || (escapeQuote && ch == '"')) out += '\\';
      out.append(text, i, length);
      i += length;
      continue;
    }
    const auto byte = static_cast<unsigned char>(text[i++]);
    if (byte == 0) {
      out += "\\0";
    } else {
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xf];
    }
  }
}

}  // namespace

std::string visibleText(std::string_view text) {
  if (text.empty()) return "\"\"";
  std::string out;
  appendVisible(out, text, false);
  return out;
}

std::string quotedText(std::string_view text, std::size_t limit) {
  std::string out = "\"";
  if (text.size() <= limit) {
    appendVisible(out, text, true);
    return out + '"';
  }
  // Back up over continuation bytes, so that a character is not cut in two.
  std::size_t cut = limit;
  while (cut > 0 && limit - cut < 3 && (static_cast<unsigned char>(text[cut]) & 0xc0) == 0x80) --cut;
  appendVisible(out, text.substr(0, cut), true);
  return out + "...\"";
}

}  // namespace monocount
