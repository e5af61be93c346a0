// Classes of units from 256 up where there is no Windows to ask: the table of Windows' own, so
// that the stand-in shell and the tests classify every unit as the DLL does.
#include "text/text.h"

namespace text {

unsigned PlatformClassOf(char16_t c) {
  return TableClassOf(c);
}

}  // namespace text
