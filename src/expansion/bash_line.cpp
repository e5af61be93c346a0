// Bash's rules over a whole line: the driver that copies the typed line into the new line and
// expands every reference in it, with events, designators and modifiers, through one index of
// the history and within one budget.
#include <cstdlib>

#include "expansion/bash_work.h"
#include "expansion/charsets.h"
#include "expansion/drivers.h"
#include "expansion/events.h"
#include "text/text.h"
#include "text/work.h"

namespace {

// The line-sized buffers of one line, then the table of searches and the words of the new
// line, all in one heap block.
enum LineBuffer { kOut, kPiece, kSpare, kOldText, kNewText, kSearchText, kScratch, kLineBuffers };

constexpr size_t kBlockBytes = kLineBuffers * kLineCapacity * sizeof(char16_t) +
                               kSearchSlots * sizeof(SearchSlot) + kLineCapacity * sizeof(WordSpan);

bool Emit(BashWork* w, char16_t c) {
  if (w->outLength >= kMaxLineLength) return false;
  w->out[w->outLength++] = c;
  return true;
}

// Makes an entry the piece; false when it is none, longer than a line, or its length is past
// the budget. The same entry taken again is not measured again.
bool TakeEntry(BashWork* w, const char16_t* entry) {
  if (entry == nullptr) return false;
  if (entry != w->lastEntry) {
    w->lastEntryLength = text::BoundedLength(entry, kLineCapacity);
    w->lastEntry = entry;
    if (!w->budget.Spend(w->lastEntryLength)) return false;
  }
  if (w->lastEntryLength > kMaxLineLength) return false;
  SetPiece(w, entry, w->lastEntryLength);
  return true;
}

// Registers the searches the line may make from `from` on, so that they are answered by one
// pass over the history: two reads of the line as the scanner reads it, one to count them and
// one to register them when there are two or more (a single search is made alone). The event
// after every '!' that may begin a reference is taken; a '!' in the texts of a modifier is taken
// too, which costs a search that is never asked for and nothing else.
void ExpectLineSearches(BashWork* w, const char16_t* from) {
  size_t searches = 0;
  for (int pass = 0; pass < 2 && (pass == 0 || searches >= 2); ++pass) {
    LineScan scan = {w->facts.line, 0};
    const char16_t* p = from;
    while (*p != 0) {
      const LineStep step = ScanStep(&scan, p);
      if (step.kind == kCommentStep) break;
      if (step.kind != kBangStep || EndsBang(p[1])) {
        p += step.units;
        continue;
      }
      const Event event = ReadEvent(kBashDialect, p + 1);
      if ((event.kind == kEventContains && event.length > 0) || event.kind == kEventPrefix) {
        if (pass == 0) {
          ++searches;
        } else {
          ExpectSearch(&w->view, event.kind == kEventPrefix ? kBeginsWith : kContains, event.text,
                       event.length);
        }
      }
      p = event.kind == kEventNone ? p + 1 : event.end;
    }
    const size_t units = static_cast<size_t>(p - from) + 1;
    w->budget.Spend(units);
    work::Done(units);
  }
}

// The view of the history, indexed at the first event of the line that needs it (at `p`, the
// reference's '!' or the '^' of a quick substitution); null when the walk could not be made.
HistoryView* IndexedView(BashWork* w, const char16_t* p) {
  if (!w->view.indexed) {
    if (!IndexHistory(&w->view)) return nullptr;
    ExpectLineSearches(w, p);
  }
  return w->budget.Spent() ? nullptr : &w->view;
}

// Reads the event at `p` (after its '!') into the piece, unless it is !#, whose piece is the new
// line so far or the words a designator selects from it (`*lineSoFar` tells the caller to take
// it): the position after the event, or null when it names nothing.
const char16_t* ReadEventIntoPiece(BashWork* w, const char16_t* p, bool* lineSoFar) {
  *lineSoFar = false;
  const Event event = ReadEvent(kBashDialect, p);
  if (event.kind == kEventLineSoFar) {
    *lineSoFar = true;  // the piece is taken when it is known whether words are selected
    return event.end;
  }
  if (event.kind == kEventNone) return nullptr;
  // A search text not closed by '?' runs to the end of the line: a blank typed next would be
  // part of it.
  w->open = event.kind == kEventContains && event.end == event.text + event.length;
  if (event.kind == kEventContains) {
    if (event.length > 0) {
      if (!w->budget.Spend(event.length)) return nullptr;
      w->searchTyped = event.text;
      w->searchLength = event.length;
      text::CopyN(w->search, kLineCapacity, event.text, event.length);
    } else if (w->searchLength == 0) {
      return nullptr;  // an empty search text repeats the line's latest search, if any
    }
  }
  HistoryView* view = IndexedView(w, p - 1);
  if (view == nullptr) return nullptr;
  char16_t* entry = nullptr;
  switch (event.kind) {
    case kEventNewest:
      entry = NewestEntry(view);
      break;
    case kEventNumber:
      entry = EntryAtPosition(view, PositionOf(event.number, event.negative));
      break;
    case kEventPrefix:
      entry = SearchHistory(view, kBeginsWith, event.text, event.text, event.length);
      break;
    default:  // kEventContains
      entry = SearchHistory(view, kContains, w->searchTyped, w->search, w->searchLength,
                            &w->searchSlot);
      w->searchEntry = entry;
      w->matchKnown = false;
      break;
  }
  return TakeEntry(w, entry) ? event.end : nullptr;
}

// Appends the piece to the new line; false when the line would be too long.
bool EmitPiece(BashWork* w) {
  if (w->outLength + w->pieceLength > kMaxLineLength || !w->budget.Spend(w->pieceLength)) {
    return false;
  }
  for (size_t k = 0; k < w->pieceLength; ++k) w->out[w->outLength++] = w->piece[k];
  work::Done(w->pieceLength);
  return true;
}

// Expands the reference at `p` (its '!') into the new line: the position after it, or null.
const char16_t* ExpandReference(BashWork* w, const char16_t* p) {
  const bool defaultFirst = p == w->facts.line;  // the line begins with it
  bool lineSoFar = false;
  w->open = false;
  p = ReadEventIntoPiece(w, p + 1, &lineSoFar);
  if (p == nullptr) return nullptr;
  const char16_t* d = p[0] == u':' ? p + 1 : p;
  const bool designator = (p[0] == u':' && text::IsAsciiDigit(*d)) || BeginsDesignator(*d);
  if (designator) {
    p = ApplyDesignator(w, d, lineSoFar);
    if (p == nullptr) return nullptr;
  } else if (lineSoFar) {
    SetPiece(w, w->out, w->outLength);
  }
  if (designator) w->open = false;
  p = ApplyModifiers(w, p, defaultFirst && !designator);
  return p != nullptr && EmitPiece(w) ? p : nullptr;
}

// A line that begins with '^': "^old^new^" is "!!:s^old^new^", and modifiers may follow.
const char16_t* ExpandQuickSubstitution(BashWork* w, const char16_t* line) {
  HistoryView* view = IndexedView(w, line);
  if (view == nullptr || !TakeEntry(w, NewestEntry(view))) return nullptr;
  const char16_t* p = TakeSubstitution(w, line);
  if (p == nullptr || !ApplySubstitution(w, kFirst)) return nullptr;
  p = ApplyModifiers(w, p, false);
  return p != nullptr && EmitPiece(w) ? p : nullptr;
}

// Copies the typed line into the new line from `p` on (outside quotes) up to `end`, expanding
// each reference; false when one fails or the line goes on with one past `end`.
bool ExpandFrom(BashWork* w, const char16_t* p, const char16_t* end) {
  LineScan scan = {w->facts.line, 0};
  while (p < end) {
    const LineStep step = ScanStep(&scan, p);
    if (step.kind == kBangStep && BeginsReference(&w->facts, p, w->out, w->outLength)) {
      p = ExpandReference(w, p);
      if (p == nullptr || p > end) return false;
      w->facts.plainFrom = p;
      continue;
    }
    const size_t rest = static_cast<size_t>(end - p);
    const size_t units = step.kind == kCommentStep || step.units > rest ? rest : step.units;
    if (!w->budget.Spend(units)) return false;
    for (size_t k = 0; k < units; ++k) {
      if (!Emit(w, *p++)) return false;
    }
    work::Done(units);
    w->open = false;
  }
  return true;
}

}  // namespace

// Grammar of a line by bash's rules (the steps are the line scanner's, scanner.h):
//   line      := [quick] (text | quoted | escaped | reference)* [comment]
//   quick     := "^" old "^" new ["^"]   at the start of the line only: !!:s^old^new^
//   reference := "!" event [designator] modifier*   where BeginsReference holds
// A backslash is an ordinary unit of this shell (its path separator), so "\!!" is a backslash
// and a reference; a single quote is ordinary too. Every reference must resolve, or the whole
// line fails. Events (events.cpp), designators (designators.cpp) and modifiers (modifiers.cpp)
// are described above their readers.
//   "sudo !!"               the newest entry after "sudo "
//   "cp !-2:1 !$:h"         word 1 of the second newest entry, the head of the last word
//   "echo \"hi!\" ^!x !$"   the quoted and the escaped bang stay; !$ expands
// Cost: one scan of the line, one walk of the history for the index, and per reference the
// units of the texts it reads and makes; all of it counted against the budget.
LineExpansion ExpandBashLine(const char16_t* line, size_t cut) {
  LineExpansion x;
  LineFacts facts = FactsOf(line);
  const char16_t* end = line + cut;
  const char16_t* first = FirstReference(&facts, end);
  if (first == nullptr) return x;
  x.outcome = kLineFailed;

  char* block = static_cast<char*>(std::malloc(kBlockBytes));
  if (block == nullptr) return x;
  x.block = block;
  char16_t* buffers = reinterpret_cast<char16_t*>(block);
  BashWork w = {};
  w.facts = facts;
  w.budget = StartBudget();
  w.view.budget = &w.budget;
  w.view.slots = reinterpret_cast<SearchSlot*>(buffers + kLineBuffers * kLineCapacity);
  w.out = buffers + kOut * kLineCapacity;
  w.own = buffers + kPiece * kLineCapacity;
  w.spare = buffers + kSpare * kLineCapacity;
  w.scratch = buffers + kScratch * kLineCapacity;
  w.oldText = buffers + kOldText * kLineCapacity;
  w.newText = buffers + kNewText * kLineCapacity;
  w.search = buffers + kSearchText * kLineCapacity;
  w.outWords = reinterpret_cast<WordSpan*>(w.view.slots + kSearchSlots);

  bool ok = w.budget.Spend(static_cast<size_t>(first - line)) &&
            text::CopyN(w.out, kLineCapacity, line, static_cast<size_t>(first - line));
  w.outLength = static_cast<size_t>(first - line);
  const char16_t* p = first;
  if (ok && p == line && line[0] == u'^') {
    p = ExpandQuickSubstitution(&w, line);
    ok = p != nullptr && p <= end;
    w.facts.plainFrom = p;
  }
  ok = ok && ExpandFrom(&w, p, end);
  ReleaseHistoryView(&w.view);  // the new line needs no more of the history
  x.open = w.open;
  if (!ok) return x;
  w.out[w.outLength] = 0;
  x.outcome = kLineExpanded;
  x.text = w.out;
  x.printOnly = w.printOnly;
  return x;
}
