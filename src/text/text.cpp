// Character classes for units below 256, bounded copies and the 32-bit number conversions.
#include "text/text.h"

#include <cerrno>

namespace text {

namespace {

// Classes of the units below 256, as the ISO 8859-1 default locale of Windows gives them.
constexpr unsigned Latin1Class(unsigned c) {
  unsigned bits = 0;
  if ((c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0xA0) bits |= kSpace;
  if ((c >= '0' && c <= '9') || c == 0xB2 || c == 0xB3 || c == 0xB9) bits |= kDigit;
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
      (c >= 0xC0 && c <= 0xFF && c != 0xD7 && c != 0xF7))
    bits |= kAlpha;
  if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f')) bits |= kXDigit;
  bool asciiPunct = c >= 0x21 && c <= 0x7E && !(bits & (kAlpha | kDigit));
  if (asciiPunct || (c >= 0xA1 && c <= 0xBF) || c == 0xD7 || c == 0xF7) bits |= kPunct;
  return bits;
}

struct Latin1Table {
  unsigned char bits[256];
};

constexpr Latin1Table MakeLatin1Table() {
  Latin1Table table{};
  for (unsigned c = 0; c < 256; ++c) table.bits[c] = static_cast<unsigned char>(Latin1Class(c));
  return table;
}

constexpr Latin1Table kLatin1 = MakeLatin1Table();

// Value of an ASCII digit or letter as a digit, or 99 when it is none.
inline unsigned DigitValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'z') return c - u'a' + 10;
  if (c >= u'A' && c <= u'Z') return c - u'A' + 10;
  return 99;
}

// The common scan of both conversions: white space, sign, optional 0x, digits. The
// magnitude is accumulated in 64 bits and saturates just above the 32-bit range, so
// `overflow` is exact whatever the number of digits.
struct Scan {
  bool negative = false;
  bool overflow = false;  // the magnitude exceeded 0xFFFFFFFF
  uint64_t magnitude = 0;
  const char16_t* end = nullptr;
};

Scan ScanNumber(const char16_t* s, int base) {
  Scan scan;
  scan.end = s;
  const char16_t* p = s;
  while (IsSpace(*p)) ++p;
  if (*p == u'-' || *p == u'+') {
    scan.negative = *p == u'-';
    ++p;
  }
  if (base == 16 && p[0] == u'0' && (p[1] == u'x' || p[1] == u'X') && DigitValue(p[2]) < 16) {
    p += 2;
  }
  const char16_t* digits = p;
  for (unsigned d; (d = DigitValue(*p)) < static_cast<unsigned>(base); ++p) {
    scan.magnitude = scan.magnitude * base + d;
    if (scan.magnitude > 0xFFFFFFFFull) {
      scan.overflow = true;
      scan.magnitude = 0x100000000ull;  // keeps the product bounded
    }
  }
  if (p != digits) scan.end = p;
  return scan;
}

}  // namespace

unsigned ClassOf(char16_t c) {
  if (c < 256) return kLatin1.bits[c];
  if (c == 0xFFFF) return 0;
  return PlatformClassOf(c);
}

size_t Length(const char16_t* s) {
  size_t n = 0;
  while (s[n] != 0) ++n;
  return n;
}

size_t BoundedLength(const char16_t* s, size_t limit) {
  size_t n = 0;
  while (n < limit && s[n] != 0) ++n;
  return n;
}

bool EqualsIgnoreAsciiCase(const char16_t* a, const char16_t* b) {
  for (;; ++a, ++b) {
    if (FoldAscii(*a) != FoldAscii(*b)) return false;
    if (*a == 0) return true;
  }
}

bool CopyN(char16_t* dst, size_t capacity, const char16_t* src, size_t count) {
  if (capacity == 0) return count == 0;
  size_t i = 0;
  for (; i < count && i + 1 < capacity && src[i] != 0; ++i) dst[i] = src[i];
  dst[i] = 0;
  return i == count || src[i] == 0;
}

bool Copy(char16_t* dst, size_t capacity, const char16_t* src) {
  if (capacity == 0) return src[0] == 0;
  size_t i = 0;
  for (; i + 1 < capacity && src[i] != 0; ++i) dst[i] = src[i];
  dst[i] = 0;
  return src[i] == 0;
}

bool Append(char16_t* dst, size_t capacity, const char16_t* src) {
  size_t used = BoundedLength(dst, capacity);
  if (used == capacity) return src[0] == 0;  // not terminated within capacity: nothing to add to
  return Copy(dst + used, capacity - used, src);
}

uint32_t ToUnsigned32(const char16_t* s, const char16_t** end, int base) {
  Scan scan = ScanNumber(s, base);
  if (end != nullptr) *end = scan.end;
  if (scan.overflow) {
    errno = ERANGE;
    return 0xFFFFFFFFu;
  }
  uint32_t value = static_cast<uint32_t>(scan.magnitude);
  return scan.negative ? static_cast<uint32_t>(0u - value) : value;
}

int32_t ToSigned32(const char16_t* s, const char16_t** end, int base) {
  Scan scan = ScanNumber(s, base);
  if (end != nullptr) *end = scan.end;
  if (scan.negative) {
    if (scan.overflow || scan.magnitude > 0x80000000ull) {
      errno = ERANGE;
      return INT32_MIN;
    }
    return static_cast<int32_t>(-static_cast<int64_t>(scan.magnitude));
  }
  if (scan.overflow || scan.magnitude > 0x7FFFFFFFull) {
    errno = ERANGE;
    return INT32_MAX;
  }
  return static_cast<int32_t>(scan.magnitude);
}

}  // namespace text
