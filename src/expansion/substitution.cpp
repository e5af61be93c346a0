// The :s modifier of both grammars: its reader, the search for an old text within a span, and the
// one substitution that both rules apply.
#include "expansion/substitution.h"

#include <cassert>

#include "core/settings_record.h"
#include "expansion/events.h"
#include "expansion/words.h"
#include "text/text.h"

namespace {

// The first unit `d` at or after `p`, or null when the text ends first.
const char16_t* FindUnit(const char16_t* p, char16_t d) {
  for (; *p != 0; ++p) {
    if (*p == d) return p;
  }
  return nullptr;
}

// The default rules' modifier, with d any punctuation unit that then cannot occur inside the
// texts:
//   ":s" d old d new d      (closed: another modifier may follow)
//   ":s" d old d new        (open: the new text runs to the end of the line)
//   old := 1 to 1023 units;  new := 0 to 1023 units; a longer text is refused, never cut.
// `p` is at d.
bool ReadDefaultSubstitution(const char16_t* p, TypedSubstitution* sub) {
  const char16_t d = p[0];
  if (!text::IsPunct(d)) return false;  // the terminator is no punctuation either
  const char16_t* oldStart = p + 1;
  const char16_t* oldEnd = FindUnit(oldStart, d);
  if (oldEnd == nullptr) return false;
  const size_t oldLength = static_cast<size_t>(oldEnd - oldStart);
  if (oldLength == 0 || oldLength > kMaxDefaultText) return false;

  const char16_t* withStart = oldEnd + 1;
  const char16_t* close = FindUnit(withStart, d);
  const size_t withLength = close != nullptr ? static_cast<size_t>(close - withStart)
                                             : text::BoundedLength(withStart, kMaxDefaultText + 1);
  if (withLength > kMaxDefaultText) return false;
  *sub = {{{d, 0}, 1},
          oldStart,
          oldLength,
          withStart,
          withLength,
          close != nullptr,
          close != nullptr ? close + 1 : withStart + withLength};
  return true;
}

// Bash's texts: to the delimiter `d` or the end of the line, a backslash before d quoting it.
// The position of the delimiter that ends the text, or of the terminator.
const char16_t* SkipBashText(const char16_t* p, const Delimiter& d) {
  while (*p != 0 && !d.At(p)) p += p[0] == u'\\' && d.At(p + 1) ? 1 + d.length : text::CharUnits(p);
  return p;
}

// Bash's modifier: "s" d old [d new [d]] with d any character (a surrogate pair is one), each
// text running to the end of the line when its delimiter is left out. `p` is at d.
bool ReadBashTexts(const char16_t* p, TypedSubstitution* sub) {
  if (*p == 0) return false;
  sub->delimiter = {{p[0], p[1]}, text::CharUnits(p)};
  const Delimiter& d = sub->delimiter;
  sub->old = p + d.length;
  const char16_t* q = SkipBashText(sub->old, d);
  sub->oldTyped = static_cast<size_t>(q - sub->old);
  if (*q != 0) q += d.length;
  sub->with = q;
  q = SkipBashText(q, d);
  sub->withTyped = static_cast<size_t>(q - sub->with);
  sub->closed = *q != 0;
  sub->end = sub->closed ? q + d.length : q;
  return true;
}

}  // namespace

bool Delimiter::At(const char16_t* p) const {
  return text::CharUnits(p) == length && p[0] == units[0] && (length == 1 || p[1] == units[1]);
}

bool ReadSubstitution(Dialect dialect, const char16_t* p, TypedSubstitution* sub) {
  return dialect == kDefaultDialect ? ReadDefaultSubstitution(p, sub)
                                    : ReadBashTexts(p, sub);
}

size_t UnquoteText(const char16_t* typed, size_t length, const Delimiter& d, char16_t* out) {
  size_t n = 0;
  for (size_t k = 0; k < length; ++k) {
    if (typed[k] == u'\\' && k + 1 < length && d.At(typed + k + 1)) ++k;
    out[n++] = typed[k];
  }
  return n;
}

const char16_t* FindOccurrence(const char16_t* text, size_t textLength, size_t from,
                               const char16_t* find, size_t findLength, bool foldCase,
                               char16_t* scratch, Budget* budget) {
  if (findLength == 0 || findLength > textLength) return nullptr;
  // The shell's search reads to a terminator: it gets the text itself when the span ends there,
  // else one copy of the span, made once for all the places searched.
  const char16_t* base = text;
  assert(scratch != nullptr || !foldCase || text[textLength] == 0);
  if (foldCase && text[textLength] != 0) {
    if (!budget->Spend(textLength)) return nullptr;
    text::CopyN(scratch, kLineCapacity, text, textLength);
    base = scratch;
  }
  // Each search reads from `from` on: a failed one reads to the end, so the scans of one call
  // add up to the span's length, beside the units compared.
  while (from + findLength <= textLength) {
    const char16_t* found;
    if (foldCase) {
      found = _stristr(base + from, find);
      // The shell's answer is used only where an occurrence of that length fits in the span; the
      // search counts what it read up to there, or the rest of the span.
      const bool fits =
          found != nullptr && found >= base + from && found <= base + (textLength - findLength);
      const size_t scanned =
          fits ? static_cast<size_t>(found - base) - from + findLength : textLength - from;
      if (!budget->Spend(scanned) || (found != nullptr && !fits)) return nullptr;
    } else {
      uint64_t compared = 0;
      found = text::FindExactIn(base + from, textLength - from, find, findLength, &compared);
      const size_t scanned =
          found != nullptr ? static_cast<size_t>(found - base) - from : textLength - from;
      if (!budget->Spend(scanned + compared)) return nullptr;
    }
    if (found == nullptr) return nullptr;
    const size_t at = static_cast<size_t>(found - base);
    // An occurrence that would split a surrogate pair is none: search on from its next unit.
    if (!text::SplitsCharacter(text, textLength, at, findLength)) {
      return text + at;
    }
    from = at + 1;
  }
  return nullptr;
}

// Cost: one scan of `source` from `from` (of each word, for :G), the units compared, and the
// units written; so a chain of substitutions costs the texts it makes, each scanned once.
SubstituteOutcome Substitute(const char16_t* source, size_t length, size_t from,
                             const Replacement& r, SubstituteScope scope, char16_t* out,
                             size_t* outLength, size_t* firstAt, char16_t* scratch,
                             Budget* budget) {
  const bool foldCase = PluginSettings.caseInsensitive != 0;
  size_t written = 0;
  size_t copied = 0;  // units of `source` dealt with
  bool any = false;
  bool tooLong = false;
  // Copies `source` up to `to`, then the new text in place of the old text found there.
  auto replace = [&](size_t to) {
    if (written + (to - copied) + r.withLength > kMaxLineLength) {
      tooLong = true;
      return;
    }
    if (!any) *firstAt = to;
    any = true;
    for (size_t k = copied; k < to; ++k) out[written++] = source[k];
    for (size_t k = 0; k < r.withLength; ++k) out[written++] = r.with[k];
    copied = to + r.oldLength;
  };

  if (scope == kEachWord) {
    // Each word is searched within itself only.
    size_t at = 0, start = 0, end = 0;
    while (!tooLong && NextBashWord(source, length, false, &at, &start, &end)) {
      const char16_t* found = FindOccurrence(source + start, end - start, 0, r.old, r.oldLength,
                                             foldCase, scratch, budget);
      if (budget->Spent()) return kOverBudget;
      if (found != nullptr) replace(static_cast<size_t>(found - source));
    }
  } else {
    for (size_t at = from; !tooLong && at + r.oldLength <= length;) {
      const char16_t* found =
          FindOccurrence(source, length, at, r.old, r.oldLength, foldCase, scratch, budget);
      if (budget->Spent()) return kOverBudget;
      if (found == nullptr) break;
      replace(static_cast<size_t>(found - source));
      if (scope == kFirst) break;
      at = copied;
    }
  }
  if (tooLong || (any && written + (length - copied) > kMaxLineLength)) return kTooLong;
  if (!any) return kNotFound;
  for (size_t k = copied; k < length; ++k) out[written++] = source[k];
  out[written] = 0;
  *outLength = written;
  return budget->Spend(written) ? kReplaced : kOverBudget;
}
