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

// Reads the chain of :s modifiers at `rest` into Chain, as far as they go: the number of links,
// and in `*end` where the chain ends. `*open` tells whether the last one's new text runs to the
// end of the line, its closing delimiter not typed.
int ReadChain(const char16_t* line, const char16_t* rest, const char16_t** end, bool* open) {
  int links = 0;
  const char16_t* r = rest;
  for (TypedSubstitution sub; r[0] == u':' && r[1] == u's';) {
    if (!ReadSubstitution(kDefaultDialect, r + 2, &sub)) break;
    Chain[links++] =
        Link{static_cast<uint16_t>(sub.old - line), static_cast<uint16_t>(sub.oldTyped),
             static_cast<uint16_t>(sub.with - line), static_cast<uint16_t>(sub.withTyped)};
    *open = !sub.closed;
    r = sub.end;
  }
  work::Done(static_cast<size_t>(r - rest));
  *end = r;
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

// The text before the cut must be the reference and its modifiers, whole: a malformed rest fails
// before the history is walked or anything is taken from the heap, and so does a reference that
// the line goes on with past the cut.
LineExpansion ExpandDefaultLine(const char16_t* line, size_t cut) {
  LineExpansion x;
  x.outcome = kLineFailed;
  Budget budget = StartBudget();
  const Event event = ReadEvent(kDefaultDialect, line + 1);
  if (event.kind == kEventNone || event.end > line + cut) return x;
  const char16_t* end = nullptr;
  const int links = ReadChain(line, event.end, &end, &x.open);
  if (end != line + cut) return x;

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
