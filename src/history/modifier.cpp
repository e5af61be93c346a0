// The :s substitution modifier: its parser, the search for an old text, and the replacement of
// the first occurrence.
#include "core/core.h"
#include "history/history.h"
#include "text/text.h"

namespace {

constexpr size_t kMaxModifierText = kModifierTextCapacity - 1;
constexpr size_t kMaxLineLength = kLineCapacity - 1;

// The first `d` at or after `p`, or null when the text ends first.
const char16_t* FindDelimiter(const char16_t* p, char16_t d) {
  for (; *p != 0; ++p) {
    if (*p == d) return p;
  }
  return nullptr;
}

}  // namespace

// Grammar of the rest of the line, with d any punctuation unit that then cannot occur inside
// the texts:
//   rest     := modifier*
//   modifier := ":s" d old d new d      (closed: another modifier may follow)
//             | ":s" d old d new        (open: the new text runs to the end of the line)
//   old      := 1 to 1023 units;  new := 0 to 1023 units
// A longer text is refused, open or closed: it is never cut.
//   ":s/a/b/"         old "a", new "b"
//   ":s|/usr|/opt"    old "/usr", new "/opt"
//   ":s/a/b/:s/c/d/"  two modifiers, applied in turn
const char16_t* ParseModifier(const char16_t* at, SubstitutionModifier* out) {
  if (at[0] != u':' || at[1] != u's') return nullptr;
  const char16_t d = at[2];
  if (!text::IsPunct(d)) return nullptr;  // the terminator is no punctuation either

  const char16_t* oldStart = at + 3;
  const char16_t* oldEnd = FindDelimiter(oldStart, d);
  if (oldEnd == nullptr) return nullptr;
  const size_t oldLength = static_cast<size_t>(oldEnd - oldStart);
  if (oldLength == 0 || oldLength > kMaxModifierText) return nullptr;

  const char16_t* newStart = oldEnd + 1;
  const char16_t* close = FindDelimiter(newStart, d);
  const size_t newLength = close != nullptr ? static_cast<size_t>(close - newStart)
                                            : text::BoundedLength(newStart, kModifierTextCapacity);
  if (newLength > kMaxModifierText) return nullptr;

  text::CopyN(out->oldText, kModifierTextCapacity, oldStart, oldLength);
  text::CopyN(out->newText, kModifierTextCapacity, newStart, newLength);
  return close != nullptr ? close + 1 : newStart + newLength;
}

const char16_t* FindOccurrence(const char16_t* text, size_t textLength, const char16_t* find,
                               size_t findLength, bool foldCase) {
  // An occurrence that would begin or end inside a surrogate pair is none: the search goes on
  // after its first unit.
  for (size_t from = 0; findLength != 0 && from + findLength <= textLength;) {
    const char16_t* found;
    if (!foldCase) {
      found = text::FindExact(text + from, find, findLength);
    } else {
      // The shell's answer is used only where an occurrence of that length fits in the text.
      found = _stristr(text + from, find);
      if (found != nullptr && (found < text + from || found > text + (textLength - findLength))) {
        return nullptr;
      }
    }
    if (found == nullptr) return nullptr;
    const size_t at = static_cast<size_t>(found - text);
    if (at + findLength > textLength) return nullptr;
    if (!text::SplitsPair(text, at) && !text::SplitsPair(text, at + findLength)) return found;
    from = at + 1;
  }
  return nullptr;
}

int SubstituteFirst(const char16_t* source, char16_t* out, const char16_t* oldText,
                    const char16_t* newText) {
  const size_t oldLength = text::Length(oldText);
  const size_t sourceLength = text::BoundedLength(source, kLineCapacity);
  const char16_t* found =
      FindOccurrence(source, sourceLength, oldText, oldLength, PluginSettings.caseInsensitive != 0);
  if (found == nullptr) return 0;

  const size_t prefixLength = static_cast<size_t>(found - source);
  const size_t newLength = text::Length(newText);
  const size_t tailLength = sourceLength - prefixLength - oldLength;
  if (prefixLength + newLength + tailLength > kMaxLineLength) return -2;

  text::CopyN(out, kLineCapacity, source, prefixLength);
  text::CopyN(out + prefixLength, kLineCapacity - prefixLength, newText, newLength);
  text::CopyN(out + prefixLength + newLength, kLineCapacity - prefixLength - newLength,
              found + oldLength, tailLength);
  return 1;
}
