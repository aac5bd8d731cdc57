#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace monocount {

// Text from a file or the command line, as a message shows it so that nothing in it is hidden
// or cut short: printable ASCII and well-formed UTF-8 stay as they are; a backslash is doubled;
// a NUL byte becomes \0; other control bytes (below 0x20, 0x7f and the C1 controls U+0080 ..
// U+009F) and every byte outside well-formed UTF-8 become \xHH (lower-case hex). An empty text
// is shown as "".
std::string visibleText(std::string_view text);

// The text in double quotes, made visible as above with a double quote escaped as \", and cut
// after at most `limit` bytes (at a character boundary) followed by "..." inside the quotes,
// so that a runaway field cannot flood a message.
std::string quotedText(std::string_view text, std::size_t limit = 40);

}  // namespace monocount
