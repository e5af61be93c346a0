// Conversions between the plugin's 16-bit text and the bytes of POSIX files, terminals and
// command lines. Bytes -> UTF-16 -> bytes gives back every byte string unchanged: a byte that
// is not part of well-formed UTF-8 travels through the 16-bit text as a lone low surrogate,
// U+DC80 to U+DCFF for the bytes 0x80 to 0xFF (Python's "surrogateescape"), so a file name or
// an argument in another encoding reaches the command as typed.
#pragma once

#include <string>
#include <string_view>

namespace standin {

// UTF-8 to UTF-16. A well-formed sequence (the shortest form of a code point that is not a
// surrogate and not above U+10FFFF) becomes its character. Every other byte becomes the lone
// unit 0xDC00 + byte, one unit per byte, and decoding goes on at the next byte: a stray
// continuation byte, C0 to C1 and F5 to FF, an overlong form (C0 80, E0 80 80), an encoded
// surrogate (ED A0 80 is three such units) and a sequence cut short all become escapes.
std::u16string FromUtf8(std::string_view text);

// UTF-16 to UTF-8. A surrogate pair becomes its 4-byte sequence; a lone U+DC80 to U+DCFF
// becomes the byte it stands for; any other lone surrogate (U+D800 to U+DBFF, U+DC00 to
// U+DC7F), which no byte string decodes to and UTF-8 cannot hold, becomes U+FFFD (EF BF BD).
// Escapes that end up side by side and spell a well-formed sequence give its bytes, which
// decode as that character next time.
std::string ToUtf8(std::u16string_view text);

// Whether `text` is well-formed UTF-8 throughout: FromUtf8 gives it no escaped byte.
bool IsUtf8(std::string_view text);

// `text` with a-z upper-cased and every other unit as it is: the key of the stand-ins' tables,
// whose names (variables, registry keys and values) compare without regard to case.
std::u16string UpperAscii(std::u16string_view text);

}  // namespace standin
