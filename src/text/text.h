// Shared text helpers: character classes, bounded copies and 32-bit number conversions over
// 16-bit code units. They behave the same on every platform the plugin is built for.
#pragma once

#include <cstddef>
#include <cstdint>

namespace text {

// ==== Character classes ====
// Units below 256 follow ISO 8859-1 as the Windows default locale classifies them (a fixed
// table). Units from 256 up take the classes Windows gives them: on Windows asked of the
// system, elsewhere read from a table made from it (charclass-*.cpp), so that every build
// gives every unit the same classes. The unit 0xFFFF belongs to no class.

enum CharClass : unsigned {
  kSpace = 1u << 0,
  kDigit = 1u << 1,
  kAlpha = 1u << 2,
  kPunct = 1u << 3,
  kXDigit = 1u << 4,
};

// The class bits of one unit.
unsigned ClassOf(char16_t c);

inline bool IsSpace(char16_t c) {
  return (ClassOf(c) & kSpace) != 0;
}
inline bool IsDigit(char16_t c) {
  return (ClassOf(c) & kDigit) != 0;
}
inline bool IsAlpha(char16_t c) {
  return (ClassOf(c) & kAlpha) != 0;
}
inline bool IsAlnum(char16_t c) {
  return (ClassOf(c) & (kAlpha | kDigit)) != 0;
}
inline bool IsPunct(char16_t c) {
  return (ClassOf(c) & kPunct) != 0;
}
inline bool IsXDigit(char16_t c) {
  return (ClassOf(c) & kXDigit) != 0;
}

// The platform's classes for a unit of 256 or above (never called for smaller units).
unsigned PlatformClassOf(char16_t c);

// The classes Windows gives any unit, from the table made from GetStringTypeW: the platform's
// classes where there is no Windows, and what the Windows suite holds against the system's.
unsigned TableClassOf(char16_t c);

// Folds only the 26 letters A-Z to a-z; every other unit is returned as it is.
inline char16_t FoldAscii(char16_t c) {
  return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + (u'a' - u'A')) : c;
}

inline bool IsAsciiDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}

// The digits the number conversions read in base 16 (IsXDigit holds for more, such as the
// fullwidth forms).
inline bool IsAsciiXDigit(char16_t c) {
  return IsAsciiDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// ==== Surrogate pairs ====
// A high surrogate followed by a low one is one character; either alone is a character of its
// own.

inline bool IsHighSurrogate(char16_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}
inline bool IsLowSurrogate(char16_t c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}

// The units of the character that begins at `p` (1 or 2); the terminator is one unit.
inline size_t CharUnits(const char16_t* p) {
  return IsHighSurrogate(p[0]) && IsLowSurrogate(p[1]) ? 2 : 1;
}

// Whether position `at` of `text` falls inside a surrogate pair (between its two units).
inline bool SplitsPair(const char16_t* text, size_t at) {
  return at > 0 && IsHighSurrogate(text[at - 1]) && IsLowSurrogate(text[at]);
}

// The length to give SplitsCharacter for a text that ends with its terminator.
constexpr size_t kTerminated = static_cast<size_t>(-1);

// Whether an occurrence of `units` units at offset `at` of `text` would split a surrogate pair at
// its start or at its end: the one test every search makes of what it found. `length` is the
// length of a span that may go on past it (its end is a place between whole characters), or
// kTerminated for a text that ends with its terminator; nothing past either is read.
inline bool SplitsCharacter(const char16_t* text, size_t length, size_t at, size_t units) {
  return (at < length && SplitsPair(text, at)) ||
         (at + units < length && SplitsPair(text, at + units));
}

// ==== Lengths and comparisons ====

// Units before the terminator.
size_t Length(const char16_t* s);

// Units before the terminator, but stops counting at `limit` (returns `limit` then).
size_t BoundedLength(const char16_t* s, size_t limit);

// Whole strings equal with A-Z folded to a-z.
bool EqualsIgnoreAsciiCase(const char16_t* a, const char16_t* b);

// ==== Bounded copies ====
// Each writes at most `capacity` units including the terminator, always terminates the
// destination when `capacity` is not 0, and returns false when the source did not fit whole.

bool Copy(char16_t* dst, size_t capacity, const char16_t* src);
bool CopyN(char16_t* dst, size_t capacity, const char16_t* src, size_t count);
bool Append(char16_t* dst, size_t capacity, const char16_t* src);

// ==== Number conversions ====
// Exactly the standard wide conversions with a 32-bit `long`, as on Windows, whatever the
// width of `long` on the build platform:
//  - leading white space is skipped, then one optional sign;
//  - base 16 passes over one optional 0x or 0X (only when a hexadecimal digit follows);
//  - conversion stops at the first unit that is not a digit of the base; `*end` (when
//    `end` is not null) is set after the last digit, or to `s` when there was none;
//  - errno is set to ERANGE when the value lies outside the 32-bit range; the result is then
//    the range's limit in the direction of the overflow. errno is otherwise left alone.
// Only the ASCII digits 0-9, a-z and A-Z count as digits. `base` is 2 to 36.

// `wcstoul`: a minus sign negates modulo 2^32 (-1 gives 4294967295); the magnitude must fit
// in 32 bits.
uint32_t ToUnsigned32(const char16_t* s, const char16_t** end, int base);

// `wcstol`: the range is -2147483648 to 2147483647.
int32_t ToSigned32(const char16_t* s, const char16_t** end, int base);

}  // namespace text
