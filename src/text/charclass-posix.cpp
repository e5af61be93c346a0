// Classes of units from 256 up on POSIX systems: the C.UTF-8 locale, asked through the `_l`
// functions so that the process's global locale is never touched.
#include <locale.h>
#include <wctype.h>

#include "text/text.h"

namespace text {

namespace {

locale_t Utf8Locale() {
  static locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  return locale;
}

}  // namespace

unsigned PlatformClassOf(char16_t c) {
  locale_t locale = Utf8Locale();
  if (locale == static_cast<locale_t>(0)) return 0;  // no Unicode tables: no class above 255
  wint_t w = c;
  unsigned bits = 0;
  if (iswspace_l(w, locale)) bits |= kSpace;
  if (iswdigit_l(w, locale)) bits |= kDigit;
  if (iswalpha_l(w, locale)) bits |= kAlpha;
  if (iswpunct_l(w, locale)) bits |= kPunct;
  if (iswxdigit_l(w, locale)) bits |= kXDigit;
  return bits;
}

}  // namespace text
