// Conversions between the plugin's 16-bit text and the UTF-8 of POSIX files and terminals.
#pragma once

#include <string>
#include <string_view>

namespace standin {

// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD.
std::string ToUtf8(std::u16string_view text);

// UTF-8 to UTF-16; a malformed byte becomes U+FFFD.
std::u16string FromUtf8(std::string_view text);

// `text` with a-z upper-cased and every other unit as it is: the key of the stand-ins' tables,
// whose names (variables, registry keys and values) compare without regard to case.
std::u16string UpperAscii(std::u16string_view text);

}  // namespace standin
