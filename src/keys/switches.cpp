// The shell variables of the keys, read through the shell's variable expansion.
#include "keys/switches.h"

#include <cstddef>

#include "core/diagnostics.h"
#include "text/text.h"

namespace {

constexpr const char16_t* kBashModeVariable = u"%[QUORVIN_EXPAND]";
constexpr const char16_t* kKeysVariable = u"%[QUORVIN_KEYS]";

}  // namespace

bool BashModeOn() {
  return text::EqualsIgnoreAsciiCase(ExpandShellText(kBashModeVariable), u"bash");
}

KeySwitch ReadKeySwitch() {
  KeySwitch keys = {false, false, false};
  const char16_t* p = ExpandShellText(kKeysVariable);
  while (*p != 0) {
    while (*p == u' ' || *p == u'\t' || *p == u',') ++p;
    const char16_t* start = p;
    while (*p != 0 && *p != u' ' && *p != u'\t' && *p != u',') ++p;
    const size_t length = static_cast<size_t>(p - start);
    char16_t word[8] = {};  // long enough for the longest word and one unit more
    if (length == 0 || length >= sizeof word / sizeof word[0]) continue;
    for (size_t k = 0; k < length; ++k) word[k] = start[k];
    if (text::EqualsIgnoreAsciiCase(word, u"tab")) keys.tab = true;
    if (text::EqualsIgnoreAsciiCase(word, u"space")) keys.space = true;
    if (text::EqualsIgnoreAsciiCase(word, u"verify")) keys.verify = true;
  }
  return keys;
}
