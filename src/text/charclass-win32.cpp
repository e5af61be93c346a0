// Classes of units from 256 up on Windows: the system's own character types, which the C
// run-time's wide classification also uses for such units.
#include <windows.h>

#include "text/text.h"

namespace text {

unsigned PlatformClassOf(char16_t c) {
  WORD type = 0;
  wchar_t w = static_cast<wchar_t>(c);
  if (!GetStringTypeW(CT_CTYPE1, &w, 1, &type)) return 0;
  unsigned bits = 0;
  if (type & C1_SPACE) bits |= kSpace;
  if (type & C1_DIGIT) bits |= kDigit;
  if (type & C1_ALPHA) bits |= kAlpha;
  if (type & C1_PUNCT) bits |= kPunct;
  if (type & C1_XDIGIT) bits |= kXDigit;
  return bits;
}

}  // namespace text
