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

// How often a unit turns up in command lines, roughly: blanks and path punctuation most,
// lower-case letters by their frequency in English text, then digits and capitals, units
// outside ASCII least. It only chooses which unit of a word the exact search scans for.
constexpr unsigned char CommonnessOf(unsigned c) {
  constexpr char kLettersRarestFirst[] = "zqxjkvbpygfwmucldrhsnioate";
  if (c == ' ' || c == '\\' || c == '/' || c == '.' || c == '-' || c == ':') return 40;
  for (unsigned i = 0; i < 26; ++i) {
    if (c == static_cast<unsigned>(kLettersRarestFirst[i]))
      return static_cast<unsigned char>(10 + i);
  }
  if (c >= '0' && c <= '9') return 8;
  if (c >= 'A' && c <= 'Z') return 6;
  if (c > 0x20 && c < 0x7F) return 5;
  return c < 0x80 ? 1 : 0;
}

struct CommonnessTable {
  unsigned char rank[128];
};

constexpr CommonnessTable MakeCommonnessTable() {
  CommonnessTable table{};
  for (unsigned c = 0; c < 128; ++c) table.rank[c] = CommonnessOf(c);
  return table;
}

constexpr CommonnessTable kCommonness = MakeCommonnessTable();

inline unsigned Commonness(char16_t c) {
  return c < 128 ? kCommonness.rank[c] : 0;
}

// The first unit at or after `p` that is `first` or the terminator. A containment search of
// the history runs this over every unit of every entry, so it tests four units per loop
// step; each unit is read only after the one before it proved not to be the terminator.
inline const char16_t* NextCandidate(const char16_t* p, char16_t first) {
  for (;; p += 4) {
    if (p[0] == first || p[0] == 0) return p;
    if (p[1] == first || p[1] == 0) return p + 1;
    if (p[2] == first || p[2] == 0) return p + 2;
    if (p[3] == first || p[3] == 0) return p + 3;
  }
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

size_t SearchAnchor(const char16_t* needle, size_t needleLength) {
  size_t anchor = 0;
  for (size_t i = 1; i < needleLength; ++i) {
    if (Commonness(needle[i]) < Commonness(needle[anchor])) anchor = i;
  }
  return anchor;
}

// Scanning for the needle's rarest unit rather than its first keeps the candidates few, and
// with them the mispredicted branches that cost more than the scan itself. Candidates come
// in the order of their start, so the first full match is the leftmost.
const char16_t* FindExact(const char16_t* haystack, const char16_t* needle, size_t needleLength,
                          size_t anchor, uint64_t* compared) {
  const char16_t unit = needle[anchor];
  for (const char16_t* p = haystack;; ++p) {
    p = NextCandidate(p, unit);
    if (*p == 0) return nullptr;
    if (static_cast<size_t>(p - haystack) < anchor) continue;  // would begin before the text
    const char16_t* start = p - anchor;
    size_t i = 0;
    while (i < needleLength && start[i] == needle[i]) ++i;  // stops at the haystack's terminator
    if (compared != nullptr) *compared += i + 1;
    if (i == needleLength) return start;
  }
}

const char16_t* FindExact(const char16_t* haystack, const char16_t* needle, size_t needleLength) {
  return FindExact(haystack, needle, needleLength, SearchAnchor(needle, needleLength));
}

const char16_t* FindExactIn(const char16_t* haystack, size_t haystackLength, const char16_t* needle,
                            size_t needleLength, uint64_t* compared) {
  if (needleLength == 0 || needleLength > haystackLength) return nullptr;
  const size_t last = haystackLength - needleLength;  // the last place an occurrence may begin
  for (size_t at = 0; at <= last; ++at) {
    if (haystack[at] != needle[0]) continue;
    size_t i = 1;
    while (i < needleLength && haystack[at + i] == needle[i]) ++i;
    if (compared != nullptr) *compared += i;
    if (i == needleLength) return haystack + at;
  }
  return nullptr;
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
