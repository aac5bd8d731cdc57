#include "problem/visible_text.hpp"

#include <gtest/gtest.h>

#include <string>

namespace monocount {
namespace {

TEST(VisibleText, EscapesWhatATerminalWouldHideOrCut) {
  const struct {
    std::string text;
    std::string visible;
    std::string quoted;
  } cases[] = {
      {"plain/path.cnf", "plain/path.cnf", "\"plain/path.cnf\""},
      {"", "\"\"", "\"\""},
      {std::string("a\0b", 3), "a\\0b", "\"a\\0b\""},
      {"\x1f\t\n\x7f", "\\x1f\\x09\\x0a\\x7f", "\"\\x1f\\x09\\x0a\\x7f\""},
      {"back\\slash \"q\"", "back\\\\slash \"q\"", "\"back\\\\slash \\\"q\\\"\""},
      // Well-formed UTF-8 stays; C1 controls, overlong forms, surrogates, stray and cut
      // sequences are escaped byte by byte.
      {"\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80", "\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80",
       "\"\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80\""},
      {"\xc2\x85|\xc0\xaf|\xed\xa0\x80|\xff|\xe2\x82", "\\xc2\\x85|\\xc0\\xaf|\\xed\\xa0\\x80|\\xff|\\xe2\\x82",
       "\"\\xc2\\x85|\\xc0\\xaf|\\xed\\xa0\\x80|\\xff|\\xe2\\x82\""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(visibleText(c.text), c.visible);
    EXPECT_EQ(quotedText(c.text), c.quoted);
  }
}

TEST(VisibleText, QuotedTextIsCutAtACharacterBoundary) {
  EXPECT_EQ(quotedText(std::string(50, 'x'), 40), "\"" + std::string(40, 'x') + "...\"");
  // The cut would fall inside the two-byte e-acute at bytes 39 and 40.
  EXPECT_EQ(quotedText(std::string(39, 'x') + "\xc3\xa9" + "yyy", 40), "\"" + std::string(39, 'x') + "...\"");
  EXPECT_EQ(quotedText(std::string(41, 'x'), 41), "\"" + std::string(41, 'x') + "\"");
}

}  // namespace
}  // namespace monocount
