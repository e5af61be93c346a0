// printf-style formatting into 16-bit text for the stand-ins.
#include "common/format16.h"

#include <cstdint>

namespace standin {

namespace {

std::u16string Digits(uint32_t value, unsigned base, bool upper) {
  const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  std::u16string reversed;
  do {
    reversed.push_back(static_cast<char16_t>(digits[value % base]));
    value /= base;
  } while (value != 0);
  return std::u16string(reversed.rbegin(), reversed.rend());
}

void AppendPadded(std::u16string& out, const std::u16string& field, size_t width, bool left) {
  const size_t pad = field.size() < width ? width - field.size() : 0;
  if (!left) out.append(pad, u' ');
  out += field;
  if (left) out.append(pad, u' ');
}

}  // namespace

void AppendFormatV(std::u16string& out, const char16_t* format, va_list args) {
  for (const char16_t* p = format; *p != 0; ++p) {
    if (*p != u'%') {
      out.push_back(*p);
      continue;
    }
    const char16_t* start = p;
    ++p;
    bool left = false;
    while (*p == u'-') {
      left = true;
      ++p;
    }
    size_t width = 0;
    while (*p >= u'0' && *p <= u'9') width = width * 10 + (*p++ - u'0');
    std::u16string field;
    switch (*p) {
      case u's': {
        const char16_t* s = va_arg(args, const char16_t*);
        field = s != nullptr ? std::u16string(s) : std::u16string(u"(null)");
        break;
      }
      case u'd':
      case u'i': {
        int32_t v = va_arg(args, int32_t);
        uint32_t magnitude = v < 0 ? 0u - static_cast<uint32_t>(v) : static_cast<uint32_t>(v);
        if (v < 0) field.push_back(u'-');
        field += Digits(magnitude, 10, false);
        break;
      }
      case u'u':
        field = Digits(va_arg(args, uint32_t), 10, false);
        break;
      case u'x':
      case u'X':
        field = Digits(va_arg(args, uint32_t), 16, *p == u'X');
        break;
      case u'c':
        field.push_back(static_cast<char16_t>(va_arg(args, int)));
        break;
      case u'%':
        field.push_back(u'%');
        break;
      default:  // unknown or cut-off conversion: written as it stands
        out.append(start, p - start);
        if (*p == 0) return;
        out.push_back(*p);
        continue;
    }
    AppendPadded(out, field, width, left);
  }
}

}  // namespace standin
