// The default rules: a line that begins with '!' is one reference and its :s modifiers, which
// apply in turn to the entry it names.
#include <cstdint>
#include <cstdlib>

#include "expansion/drivers.h"
#include "expansion/events.h"
#include "expansion/history_view.h"
#include "expansion/substitution.h"
#include "text/text.h"
#include "text/work.h"

namespace {

// Where the texts of one :s modifier of the line lie, as offsets into the line.
struct Link {
  uint16_t old;         // the old text
  uint16_t oldLength;   // its units, 1 to kMaxDefaultText
  uint16_t with;        // the new text
  uint16_t withLength;  // its units, 0 to kMaxDefaultText
};

// ":s" d old d is at least five units: a line holds no more modifiers than this.
constexpr size_t kMaxLinks = kLineCapacity / 5 + 1;

// The line's chain of modifiers, read once before the history is walked and applied after.
// Process-wide for its size, not on the shell's stack; written and read within one expansion.
Link Chain[kMaxLinks];

// Reads the chain of :s modifiers at `rest` into Chain: the number of links, or -1 when the rest
// is anything else. `*open` tells whether the last one's new text runs to the end of the line,
// its closing delimiter not typed.
int ReadChain(const char16_t* line, const char16_t* rest, bool* open) {
  int links = 0;
  for (const char16_t* r = rest; *r != 0;) {
    TypedSubstitution sub;
    if (r[0] != u':' || r[1] != u's' || !ReadSubstitution(kDefaultDialect, r + 2, &sub)) {
      return -1;
    }
    Chain[links++] = Link{static_cast<uint16_t>(sub.old - line), static_cast<uint16_t>(sub.oldTyped),
                          static_cast<uint16_t>(sub.with - line),
                          static_cast<uint16_t>(sub.withTyped)};
    *open = !sub.closed;
    r = sub.end;
  }
  return links;
}

// The entry the event names, by one walk of the history (or fewer steps).
char16_t* EntryOf(const Event& event, HistoryView* view) {
  switch (event.kind) {
    case kEventNewest:
      return NewestEntry(view);
    case kEventNumber:
      return EntryAtPosition(view, PositionOf(event.number, event.negative));
    case kEventPrefix:
    case kEventContains: {
      char16_t word[kMaxDefaultText + 1];  // the word, terminated for the shell's search
      text::CopyN(word, kMaxDefaultText + 1, event.text, event.length);
      return SearchHistory(view, event.kind == kEventPrefix ? kBeginsWith : kContains, event.text,
                           word, event.length);
    }
    default:
      return nullptr;
  }
}

}  // namespace

LineExpansion ExpandDefaultLine(const char16_t* line) {
  LineExpansion x;
  x.outcome = kLineFailed;
  // A line of at most 65535 units, ended within the shell's buffer, holds every offset in 16
  // bits and is never read past its end.
  if (text::BoundedLength(line, kLineCapacity) > kMaxLineLength) return x;
  Budget budget = StartBudget();
  const Event event = ReadEvent(kDefaultDialect, line + 1);
  if (event.kind == kEventNone) return x;

  // A malformed rest fails before the history is walked or anything is taken from the heap.
  const int links = ReadChain(line, event.end, &x.openSubstitution);
  if (links < 0) return x;

  // An entry longer than the line could only be run cut short.
  HistoryView view = {};
  view.budget = &budget;
  const char16_t* entry = EntryOf(event, &view);
  if (entry == nullptr) return x;
  const size_t entryLength = text::BoundedLength(entry, kLineCapacity);
  work::Done(entryLength);
  if (entryLength > kMaxLineLength || !budget.Spend(entryLength)) return x;
  if (links == 0) {
    x.outcome = kLineExpanded;
    x.text = entry;
    return x;
  }

  // The modifiers apply in turn, each to the result of the one before, in two line buffers of
  // one block; the typed line is rewritten only once every one of them has found its old text.
  char16_t* block = static_cast<char16_t*>(std::malloc(2 * kLineCapacity * sizeof(char16_t)));
  if (block == nullptr) return x;
  x.block = block;
  char16_t* current = block;
  char16_t* next = block + kLineCapacity;
  text::CopyN(current, kLineCapacity, entry, entryLength);
  work::Done(entryLength);
  size_t length = entryLength;
  for (int i = 0; i < links; ++i) {
    const Link& link = Chain[i];
    // The text searched is always a whole buffer, ended by its terminator, and the old text is
    // terminated here: the shell's search needs no other copy, so no scratch buffer is given.
    char16_t old[kMaxDefaultText + 1];
    text::CopyN(old, kMaxDefaultText + 1, line + link.old, link.oldLength);
    const Pattern pattern = PreparePattern(old, link.oldLength, &budget);
    const Replacement replacement = {&pattern, line + link.with, link.withLength};
    size_t made = 0, firstAt = 0;
    if (Substitute(current, length, 0, replacement, kFirst, next, &made, &firstAt, nullptr,
                   &budget) != kReplaced) {
      return x;
    }
    char16_t* t = current;
    current = next;
    next = t;
    length = made;
  }
  x.outcome = kLineExpanded;
  x.text = current;
  return x;
}
