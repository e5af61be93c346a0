// printf-style formatting into 16-bit text, for the stand-ins of the shell's output functions
// and of `wsprintfW`.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>

namespace standin {

// Formats `format` with `args` and appends the result to `out`. Conversions: %s (16-bit text,
// null prints "(null)"), %d and %i (signed 32-bit), %u (unsigned 32-bit), %x and %X
// (unsigned 32-bit), %c (one 16-bit unit) and %%; the flag '-' and a decimal width.
void AppendFormatV(std::u16string& out, const char16_t* format, va_list args);

}  // namespace standin
