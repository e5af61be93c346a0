// The :s substitution modifier: its parser and the replacement of the first occurrence.
#include <cstdlib>

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
// An open new text longer than 1023 units is cut to its first 1023; a closed one that long is
// refused, like an old text that long. Only the last modifier's texts are kept.
//   ":s/a/b/"         old "a", new "b"
//   ":s|/usr|/opt"    old "/usr", new "/opt"
//   ":s/a/b/:s/c/d/"  old "c", new "d"
bool ParseModifiers(const char16_t* rest, SubstitutionModifier* out) {
  out->present = false;
  out->oldText[0] = 0;
  out->newText[0] = 0;
  const char16_t* r = rest;
  while (*r != 0) {
    if (r[0] != u':' || r[1] != u's') return false;
    const char16_t d = r[2];
    if (!text::IsPunct(d)) return false;  // the terminator is no punctuation either

    const char16_t* oldStart = r + 3;
    const char16_t* oldEnd = FindDelimiter(oldStart, d);
    if (oldEnd == nullptr) return false;
    const size_t oldLength = static_cast<size_t>(oldEnd - oldStart);
    if (oldLength == 0 || oldLength > kMaxModifierText) return false;
    text::CopyN(out->oldText, kModifierTextCapacity, oldStart, oldLength);
    out->present = true;

    const char16_t* newStart = oldEnd + 1;
    const char16_t* close = FindDelimiter(newStart, d);
    if (close != nullptr) {
      const size_t newLength = static_cast<size_t>(close - newStart);
      if (newLength > kMaxModifierText) return false;
      text::CopyN(out->newText, kModifierTextCapacity, newStart, newLength);
      r = close + 1;
    } else {
      const size_t newLength = text::Length(newStart);
      text::CopyN(out->newText, kModifierTextCapacity, newStart,
                  newLength < kMaxModifierText ? newLength : kMaxModifierText);
      r = newStart + newLength;
    }
  }
  return true;
}

int SubstituteFirst(char16_t* line, const char16_t* oldText, const char16_t* newText) {
  if (oldText == nullptr || newText == nullptr) return -1;
  if (line[0] == 0 || oldText[0] == 0) return 0;

  char16_t* work = static_cast<char16_t*>(std::malloc(kLineCapacity * sizeof(char16_t)));
  char16_t* tail = static_cast<char16_t*>(std::malloc(kLineCapacity * sizeof(char16_t)));
  int result = -2;
  if (work != nullptr && tail != nullptr) {
    text::Copy(work, kLineCapacity, line);
    const size_t oldLength = text::Length(oldText);
    const char16_t* found = PluginSettings.caseInsensitive != 0
                                ? _stristr(work, oldText)
                                : text::FindExact(work, oldText, oldLength);
    if (found == nullptr) {
      result = 0;
    } else {
      const size_t prefixLength = static_cast<size_t>(found - work);
      text::Copy(tail, kLineCapacity, found + oldLength);
      work[prefixLength] = 0;
      const size_t newLength = text::Length(newText);
      const size_t tailLength = text::Length(tail);
      if (prefixLength + newLength <= kMaxLineLength &&
          prefixLength + newLength + tailLength <= kMaxLineLength) {
        text::Append(work, kLineCapacity, newText);
        text::Append(work, kLineCapacity, tail);
        text::Copy(line, kLineCapacity, work);
        result = 1;
      }
    }
  }
  std::free(work);
  std::free(tail);
  return result;
}
