// The :s modifier of both grammars: its reader, the search for an old text within a span, and the
// one substitution that both rules apply.
#include "expansion/substitution.h"

#include <cassert>

#include "core/settings_record.h"
#include "expansion/events.h"
#include "expansion/words.h"
#include "text/text.h"
#include "text/work.h"

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
  return dialect == kDefaultDialect ? ReadDefaultSubstitution(p, sub) : ReadBashTexts(p, sub);
}

bool ReadLeadingSubstitution(const char16_t* p, const char16_t* chainEnd, TypedSubstitution* sub) {
  TypedSubstitution asBash;
  if (!ReadDefaultSubstitution(p, sub)) {
    sub->end = nullptr;
    return false;
  }
  ReadBashTexts(p, &asBash);
  if (!asBash.closed || asBash.end <= chainEnd) return true;
  *sub = asBash;
  return false;
}

const char16_t* DefaultChainEnd(const char16_t* p) {
  const char16_t* start = p;
  for (TypedSubstitution sub;
       p[0] == u':' && p[1] == u's' && ReadDefaultSubstitution(p + 2, &sub);) {
    p = sub.end;
  }
  work::Done(static_cast<size_t>(p - start));
  return p;
}

size_t UnquoteText(const char16_t* typed, size_t length, const Delimiter& d, char16_t* out) {
  size_t n = 0;
  for (size_t k = 0; k < length; ++k) {
    if (typed[k] == u'\\' && k + 1 < length && d.At(typed + k + 1)) ++k;
    out[n++] = typed[k];
  }
  work::Done(length);
  return n;
}

Pattern PreparePattern(const char16_t* units, size_t length, Budget* budget) {
  const bool foldCase = PluginSettings.caseInsensitive != 0;
  budget->Spend(length);
  return {units, length, foldCase, text::PrepareNeedle(units, length, foldCase)};
}

bool ShellMaySearch(const char16_t* text, size_t length, const Pattern& find, Budget* budget) {
  if (!find.foldCase) return false;
  uint64_t read = 0;
  const text::SimpleSearchCost simple = text::CostOfSimpleSearch(text, length, find.needle, &read);
  return budget->Spend(read) && !simple.none && simple.compares <= kShellSearchShare * read;
}

const char16_t* FindOccurrence(const char16_t* text, size_t textLength, size_t from,
                               const Pattern& find, bool askShell, char16_t* scratch,
                               Budget* budget) {
  if (from > textLength || find.length > textLength - from) return nullptr;
  // The shell's search reads to a terminator: it gets the text itself when the span ends there,
  // else one copy of the span, made once for all the places searched.
  const bool terminated = text[textLength] == 0;
  assert(scratch != nullptr || !askShell || terminated);
  const char16_t* base = nullptr;
  while (askShell && from + find.length <= textLength) {
    const uint64_t copy = base == nullptr && !terminated ? textLength : 0;
    const uint64_t worst = static_cast<uint64_t>(textLength - from) * find.length;
    if (copy + worst > budget->left) break;  // too much for the shell's search: the plugin's own
    budget->Spend(copy);
    if (base == nullptr) {
      base = text;
      if (!terminated) {
        text::CopyN(scratch, kLineCapacity, text, textLength);
        work::Done(textLength);
        base = scratch;
      }
    }
    const char16_t* found = _stristr(base + from, find.units);
    const bool inSpan =
        found != nullptr && found >= base + from && found <= base + (textLength - find.length);
    // What the shell's search may have compared: every place up to the one it found, or to the
    // end of the span, against the whole text.
    const size_t places = inSpan ? static_cast<size_t>(found - base) - from + 1 : textLength - from;
    if (!budget->Spend(static_cast<uint64_t>(places) * find.length) || !inSpan) return nullptr;
    const size_t at = static_cast<size_t>(found - base);
    // An occurrence that would split a surrogate pair is none: search on from its next unit.
    if (!text::SplitsCharacter(text, textLength, at, find.length)) return text + at;
    from = at + 1;
  }
  uint64_t work = 0;
  const char16_t* found = text::FindFirst(text, textLength, from, find.needle, &work);
  return budget->Spend(work) ? found : nullptr;
}

const char16_t* FindLastOccurrence(const char16_t* text, size_t textLength, const Pattern& find,
                                   Budget* budget) {
  uint64_t work = 0;
  const char16_t* found = text::FindLast(text, textLength, find.needle, &work);
  return budget->Spend(work) ? found : nullptr;
}

// Cost: one scan of `source` from `from` (of each word, for :G), the units compared, and the
// units written; so a chain of substitutions costs the texts it makes, each scanned once.
SubstituteOutcome Substitute(const char16_t* source, size_t length, size_t from,
                             const Replacement& r, SubstituteScope scope, char16_t* out,
                             size_t* outLength, size_t* firstAt, char16_t* scratch,
                             Budget* budget) {
  const Pattern& old = *r.old;
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
    copied = to + old.length;
  };

  if (scope == kEachWord) {
    // Each word is searched within itself only.
    size_t at = 0, start = 0, end = 0;
    while (!tooLong && NextBashWord(source, length, false, &at, &start, &end)) {
      const bool askShell = ShellMaySearch(source + start, end - start, old, budget);
      const char16_t* found =
          FindOccurrence(source + start, end - start, 0, old, askShell, scratch, budget);
      if (budget->Spent()) return kOverBudget;
      if (found != nullptr) replace(static_cast<size_t>(found - source));
    }
  } else {
    // Each search goes on from where the one before stopped, so one look at the span tells for
    // all of them whether the shell is asked.
    const bool askShell =
        from < length && ShellMaySearch(source + from, length - from, old, budget);
    for (size_t at = from; !tooLong && at + old.length <= length;) {
      const char16_t* found = FindOccurrence(source, length, at, old, askShell, scratch, budget);
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
  work::Done(written);
  return budget->Spend(written) ? kReplaced : kOverBudget;
}
