// Whole lines, by either grammar: the default rules (a line that begins with '!' is one reference
// and its :s modifiers) and bash's rules (every reference of the line, with designators and all
// of bash's modifiers), over the same events, substitution and budget.
#include <cstdlib>

#include "core/settings_record.h"
#include "history/engine.h"
#include "text/text.h"

namespace {

LineExpansion NewExpansion(LineOutcome outcome) {
  LineExpansion x;
  x.outcome = outcome;
  return x;
}

// ==== The default rules ====

// The entry a default event names, by one walk of the history (or fewer steps).
char16_t* WalkToEntry(const Event& event, Budget* budget) {
  switch (event.kind) {
    case kEventNewest:
      return NewestEntry(budget);
    case kEventNumber:
      return EntryByNumber(PositionOf(event.number, event.negative), budget);
    case kEventPrefix:
    case kEventContains: {
      char16_t word[kMaxDefaultText + 1];  // the word, terminated for the shell's search
      text::CopyN(word, kMaxDefaultText + 1, event.text, event.length);
      return FindEntry(word, event.kind == kEventPrefix, HistoryStart(), event.length, budget);
    }
    default:
      return nullptr;
  }
}

// ==== Bash's rules ====

// The line-sized buffers of one expansion, then the table of searches and the words of the new
// line, all in one heap block.
enum LineBuffer { kOut, kPiece, kSpare, kOldText, kNewText, kSearchText, kScratch, kLineBuffers };

// The table of a line's searches: its first kSearchSlots / 2 distinct searches are remembered,
// so that one met again is not scanned for again; later ones are scanned each time (within the
// budget). Cleared at the line's first search.
constexpr size_t kSearchSlots = 1024;

// A search already resolved in this line.
struct SearchSlot {
  const char16_t* text;  // the search text, in the typed line; null: a free slot
  uint32_t length;       // its units
  EventKind kind;        // kEventPrefix or kEventContains
  char16_t* entry;       // the entry it found
};

constexpr size_t kBlockBytes = kLineBuffers * kLineCapacity * sizeof(char16_t) +
                               kSearchSlots * sizeof(SearchSlot) + kLineCapacity * sizeof(WordSpan);

// What the rules for a '!' need to know of the whole typed line: read in one scan, and only when
// a '!' after '[' or '{' first asks. The line expanded may be the text before the cursor; the
// rest of the typed line then counts as well.
struct LineFacts {
  const char16_t* line;         // the line expanded
  const char16_t* rest;         // the rest of the typed line after it, or null
  const char16_t* plainFrom;    // where the line's ordinary text begins, after the last reference
  bool read;                    // the scan has been made
  const char16_t* lastBracket;  // the line's last ']', or null
  const char16_t* lastBrace;    // its last '}', or null
  bool bracketInRest;           // the rest holds a ']'
  bool braceInRest;             // the rest holds a '}'
};

// The work of one line by bash's rules: its buffers, and what earlier references of the line
// leave for later ones (nothing survives the call).
struct BashWork {
  LineFacts facts;
  Budget budget;
  HistoryIndex* index;          // built at the first event that needs the history
  char16_t* out;                // the new line so far; the start of the heap block
  size_t outLength;             // units in `out`
  char16_t* piece;              // the text of the reference being expanded
  size_t pieceLength;           // units in `piece`
  char16_t* spare;              // where the next step writes; then swapped with `piece`
  char16_t* scratch;            // a terminated copy of a span for the shell's search
  char16_t* oldText;            // the old text of the latest substitution (for :& and an empty old)
  size_t oldLength;             // its units; 0 while the line has had no substitution
  char16_t* newText;            // its new text, each '&' already replaced by the old text
  size_t newLength;             // its units
  bool newTooLong;              // the new text alone would not fit in a line
  const char16_t* searchTyped;  // the latest !?text? search text, in the typed line
  char16_t* search;             // the same, terminated for the shell's search
  size_t searchLength;          // its units; 0 while the line has had no such search
  const char16_t* searchEntry;  // the entry that search found
  bool matchKnown;              // matchedWord is found (only once % asks for it)
  const char16_t* matchedWord;  // for %: the word of searchEntry where the search text matched
  size_t matchedLength;         // its units (0: it matched between words)
  SearchSlot* searches;         // kSearchSlots searches of this line, by hash of their text
  size_t searchesUsed;          // slots in use; the table is cleared while it is 0
  bool searchesCleared;         // the table has been cleared for this line
  WordSpan* outWords;           // the words of `out` that no later text can change, then one more
  size_t outWordCount;          // those words
  size_t outSplitFrom;          // where splitting `out` goes on
  bool outCommented;            // a word of `out` began a comment: no words after it, ever
  PathMarks marks;              // what :h :t :r :e know of the piece
  size_t cleanFrom;             // no occurrence of the old text begins before this offset of the
                                // piece (after a first-occurrence substitution, for :&)
  bool cleanKnown;              // cleanFrom holds for the piece as it is
  bool printOnly;               // a :p modifier was met
  bool openSubstitution;        // the latest substitution ran to the end of the line, unclosed
};

// A '!' followed by one of these, or by the end of the line, is an ordinary character. '(' is
// this shell's addition: bash would search for an empty text there and fail the line.
bool EndsBang(char16_t c) {
  return c == 0 || c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'=' || c == u'(';
}

void ReadLineFacts(LineFacts* facts) {
  facts->read = true;
  for (const char16_t* p = facts->line; *p != 0; ++p) {
    if (*p == u']') facts->lastBracket = p;
    if (*p == u'}') facts->lastBrace = p;
  }
  for (const char16_t* p = facts->rest; p != nullptr && *p != 0; ++p) {
    if (*p == u']') facts->bracketInRest = true;
    if (*p == u'}') facts->braceInRest = true;
  }
}

// Whether the '!' at `p` begins a reference, `made` being the new line so far (`madeLength`
// units). Besides EndsBang, a '!' that the shell itself needs is left alone, by bash's own
// rules:
//   [!...]   a '!' right after a '[' of the line's text with a ']' later in the typed line: a
//            wildcard's negation;
//   ${!...}  a '!' right after a "${" of the line's text with a '}' later in the typed line;
//   $!       a '!' right after a '$' that ends the new line so far, when that '$' is not all it
//            holds (bash reads the line it is making here, so a '$' an expansion ends with
//            counts as well).
// Bash applies the first two only to lines in which no other '!' is a reference; here they hold
// on every line. A '[', '$' or '{' that belongs to a reference before it (the '$' of "!$") is
// none of the shell's.
bool BeginsReference(LineFacts* facts, const char16_t* p, const char16_t* made, size_t madeLength) {
  if (*p != u'!' || EndsBang(p[1])) return false;
  const size_t plain = static_cast<size_t>(p - facts->plainFrom);  // text units before the '!'
  if (p > facts->line && (p[-1] == u'[' || p[-1] == u'{') && !facts->read) ReadLineFacts(facts);
  if (plain > 0 && p[-1] == u'[' && (facts->lastBracket > p || facts->bracketInRest)) return false;
  if (plain > 1 && p[-1] == u'{' && p[-2] == u'$' && (facts->lastBrace > p || facts->braceInRest)) {
    return false;
  }
  if (madeLength > 1 && made[madeLength - 1] == u'$') return false;
  return true;
}

// Whether the '#' at `p` begins a word of `line` (at its start, or after a blank or one of
// ; & | ( ) < >): as in bash, the rest of the line is then a comment, where no reference is
// expanded.
bool BeginsComment(const char16_t* line, const char16_t* p) {
  if (*p != u'#') return false;
  if (p == line) return true;
  switch (p[-1]) {
    case u' ':
    case u'\t':
    case u'\n':
    case u';':
    case u'&':
    case u'|':
    case u'(':
    case u')':
    case u'<':
    case u'>':
      return true;
    default:
      return false;
  }
}

// The first unit of a reference in the line, or null when there is none: a '^' that begins the
// line, or a '!' that BeginsReference, outside quotes and comments and not after the escape
// character.
const char16_t* FirstReference(LineFacts* facts) {
  const char16_t* line = facts->line;
  if (line[0] == u'^') return line;
  char16_t quote = 0;
  for (const char16_t* p = line; *p != 0; ++p) {
    if (quote != 0) {
      if (*p == quote) quote = 0;
    } else if (BeginsComment(line, p)) {
      break;
    } else if (*p == u'"' || *p == u'`') {
      quote = *p;
    } else if (*p == u'^') {
      if (p[1] == 0) break;
      p += text::CharUnits(p + 1);  // the escaped character is ordinary
    } else if (BeginsReference(facts, p, line, static_cast<size_t>(p - line))) {
      return p;
    }
  }
  return nullptr;
}

bool Emit(BashWork* w, char16_t c) {
  if (w->outLength >= kMaxLineLength) return false;
  w->out[w->outLength++] = c;
  return true;
}

// The piece has changed in a way the path and occurrence knowledge cannot follow.
void PieceChanged(BashWork* w) {
  w->marks = PathMarks{w->pieceLength, w->pieceLength};
  w->cleanKnown = false;
}

void SwapPiece(BashWork* w, size_t length) {
  char16_t* t = w->piece;
  w->piece = w->spare;
  w->spare = t;
  w->pieceLength = length;
  w->piece[length] = 0;
}

// Copies `length` units of `text` into the piece; false when the budget runs out.
bool SetPiece(BashWork* w, const char16_t* text, size_t length) {
  if (!w->budget.Spend(length)) return false;
  for (size_t k = 0; k < length; ++k) w->piece[k] = text[k];
  w->pieceLength = length;
  w->piece[length] = 0;
  PieceChanged(w);
  return true;
}

// Copies an entry into the piece; false when it is none or longer than a line.
bool TakeEntry(BashWork* w, const char16_t* entry) {
  if (entry == nullptr) return false;
  const size_t length = text::BoundedLength(entry, kLineCapacity);
  return length <= kMaxLineLength && SetPiece(w, entry, length);
}

// The history's index, walked at the first event of the line that needs it; null when the walk
// could not be made.
const HistoryIndex* Index(BashWork* w) {
  if (!w->index->built && !BuildHistoryIndex(w->index, &w->budget)) return nullptr;
  return w->budget.Spent() ? nullptr : w->index;
}

uint64_t HashOf(EventKind kind, const char16_t* text, size_t length) {
  uint64_t h = 14695981039346656037ull ^ static_cast<uint64_t>(kind);  // FNV-1a
  for (size_t k = 0; k < length; ++k) h = (h ^ text[k]) * 1099511628211ull;
  return h;
}

// The slot of a search of this line with the same kind and text, or the free slot where it
// would go; null when the table is too full to take it.
SearchSlot* SearchSlotFor(BashWork* w, EventKind kind, const char16_t* text, size_t length) {
  if (!w->searchesCleared) {
    for (size_t k = 0; k < kSearchSlots; ++k) w->searches[k].text = nullptr;
    w->searchesCleared = true;
  }
  w->budget.Spend(length);
  size_t slot = static_cast<size_t>(HashOf(kind, text, length) % kSearchSlots);
  for (size_t probe = 0; probe < kSearchSlots; ++probe, slot = (slot + 1) % kSearchSlots) {
    SearchSlot& s = w->searches[slot];
    if (s.text == nullptr) return w->searchesUsed < kSearchSlots / 2 ? &s : nullptr;
    if (s.kind != kind || s.length != length) continue;
    w->budget.Spend(length);
    size_t k = 0;
    while (k < length && s.text[k] == text[k]) ++k;
    if (k == length) return &s;
  }
  return nullptr;
}

// The newest entry that begins with or contains `text`: the same search met again in the line
// is answered without another scan of the history.
char16_t* Search(BashWork* w, EventKind kind, const char16_t* text, size_t length) {
  const HistoryIndex* index = Index(w);
  if (index == nullptr) return nullptr;
  SearchSlot* slot = SearchSlotFor(w, kind, text, length);
  if (slot != nullptr && slot->text != nullptr) return slot->entry;
  // A containment search reads w->search, the same text terminated for the shell's search.
  const char16_t* word = kind == kEventContains ? w->search : text;
  char16_t* entry = FindIndexedEntry(*index, word, length, kind == kEventPrefix, &w->budget);
  if (entry != nullptr && slot != nullptr) {
    *slot = SearchSlot{text, static_cast<uint32_t>(length), kind, entry};
    ++w->searchesUsed;
  }
  return entry;
}

// Finds, when % first asks for it, the word of the latest search's entry where its text last
// occurs (bash takes the last occurrence). One scan of the entry, from occurrence to occurrence.
void FindMatchedWord(BashWork* w) {
  w->matchKnown = true;
  const char16_t* entry = w->searchEntry;
  w->matchedWord = entry;
  w->matchedLength = 0;
  const size_t length = text::BoundedLength(entry, kLineCapacity);
  const bool foldCase = PluginSettings.caseInsensitive != 0;
  const char16_t* found = nullptr;
  for (size_t from = 0; from + w->searchLength <= length;) {
    const char16_t* next = FindOccurrence(entry, length, from, w->search, w->searchLength, foldCase,
                                          w->scratch, &w->budget);
    if (next == nullptr) break;
    found = next;
    from = static_cast<size_t>(next - entry) + 1;
  }
  size_t start = 0, end = 0;
  if (found != nullptr &&
      FindBashWordAt(entry, length, static_cast<size_t>(found - entry), &start, &end)) {
    w->budget.Spend(end);
    w->matchedWord = entry + start;
    w->matchedLength = end - start;
  }
}

// Splits the new line so far into words as far as no later text can change them, going on from
// where the last split stopped, and returns them with the last, still open word: so every !# of
// a line and its designators cost the words added since the one before.
SplitWords SplitOut(BashWork* w) {
  size_t count = w->outWordCount;
  if (!w->outCommented) {
    size_t at = w->outSplitFrom, start = 0, end = 0;
    while (NextBashWord(w->out, w->outLength, true, &at, &start, &end)) {
      w->budget.Spend(end - start);
      w->outWords[count++] = WordSpan{static_cast<uint16_t>(start), static_cast<uint16_t>(end)};
      if (end == w->outLength) break;  // the word may still grow
      w->outWordCount = count;
      w->outSplitFrom = end;
    }
    // The split stopped before the end at a word that begins with '#': the rest of the line is
    // a comment, whatever follows.
    if (at < w->outLength) w->outCommented = true;
  }
  return SplitWords{w->out, w->outWords, count};
}

// Reads "d old d new d" at `p` (at the delimiter d, one whole character; the closing one, or
// both, may be left out at the end of the line) into the substitution state. An empty old text
// takes the latest old text of the line, or else its latest search text. In the new text, as in
// bash, a backslash quotes d; then, when a '&' is left, each '&' stands for the old text and a
// backslash before a '&' makes it an ordinary '&'. The position after it, or null.
const char16_t* ReadBashSubstitution(BashWork* w, const char16_t* p) {
  TypedSubstitution sub;
  if (!ReadSubstitution(kBashDialect, p, &sub)) return nullptr;
  w->openSubstitution = !sub.closed;
  if (!w->budget.Spend(sub.oldTyped + sub.withTyped)) return nullptr;
  size_t oldLength = UnquoteText(sub.old, sub.oldTyped, sub.delimiter, w->oldText);
  if (oldLength == 0) {
    if (w->oldLength == 0 && w->searchLength == 0) return nullptr;
    if (w->oldLength == 0) {
      text::CopyN(w->oldText, kLineCapacity, w->search, w->searchLength);
      oldLength = w->searchLength;
    } else {
      oldLength = w->oldLength;
    }
  } else {
    w->cleanKnown = false;  // a new old text: nothing is known of where it occurs
  }
  w->oldLength = oldLength;
  w->oldText[oldLength] = 0;

  // The new text as typed goes to the spare buffer first, then into newText with '&' replaced.
  const size_t typedLength = UnquoteText(sub.with, sub.withTyped, sub.delimiter, w->spare);
  const char16_t* typed = w->spare;
  size_t n = 0;
  w->newTooLong = false;
  for (size_t k = 0; k < typedLength; ++k) {
    const char16_t* units = &typed[k];
    size_t count = 1;
    if (typed[k] == u'\\' && k + 1 < typedLength && typed[k + 1] == u'&') {
      units = &typed[++k];
    } else if (typed[k] == u'&') {
      units = w->oldText;
      count = w->oldLength;
    }
    if (n + count > kMaxLineLength || !w->budget.Spend(count)) {
      w->newTooLong = true;
      break;
    }
    for (size_t i = 0; i < count; ++i) w->newText[n++] = units[i];
  }
  w->newLength = n;
  return sub.end;
}

// Applies the latest substitution to the piece. False when the old text does not occur (in no
// word, for kEachWord), the result would be too long, or the budget runs out. A first-occurrence
// substitution leaves where the next :& may start looking: no occurrence of the old text begins
// before the one replaced, and one that begins there must overlap the new text.
bool ApplySubstitution(BashWork* w, SubstituteScope scope) {
  if (w->newTooLong) return false;
  const size_t from = scope == kFirst && w->cleanKnown ? w->cleanFrom : 0;
  size_t length = 0;
  size_t firstAt = 0;
  const Replacement r = {w->oldText, w->oldLength, w->newText, w->newLength};
  if (Substitute(w->piece, w->pieceLength, from, r, scope, w->spare, &length, &firstAt, w->scratch,
                 &w->budget) != kReplaced) {
    return false;
  }
  SwapPiece(w, length);
  PieceChanged(w);
  if (scope == kFirst) {
    w->cleanFrom = firstAt + 1 > w->oldLength ? firstAt + 1 - w->oldLength : 0;
    w->cleanKnown = true;
  }
  return true;
}

// Grammar of the modifiers, each after a ':' (g or a makes the next s or & of the reference
// replace every occurrence, even with other modifiers between; G makes every later s and & of
// the reference replace once in each word):
//   h t r e   the head, tail, root or extension of the text (words.cpp)
//   p         print only; q x  bash's quoting of the result, the last one given counts
//   s d old d new d   the first old text replaced; & in new is the old text
//   &         the latest substitution again
// At the end of the line ":s" alone changes nothing. Anything else after a ':' fails.
//   "!!:h:t"  "!!:gs/a/b/"  "!!:s/x/[&]/:G&:p"
// Returns the position after the modifiers, or null on a failure.
const char16_t* ApplyModifiers(BashWork* w, const char16_t* p) {
  char16_t quoting = 0;
  bool global = false;    // a g or a holds until an s or & has applied it
  bool eachWord = false;  // a G holds for every later s and & of the same reference
  while (*p == u':') {
    const char16_t* m = p + 1;
    if (*m == u'g' || *m == u'a') global = true;
    if (*m == u'G') eachWord = true;
    if (*m == u'g' || *m == u'a' || *m == u'G') ++m;
    const SubstituteScope scope = global ? kGlobal : eachWord ? kEachWord : kFirst;
    if (!w->budget.Spend(1)) return nullptr;
    switch (*m) {
      case u'h':
      case u't':
      case u'r':
      case u'e':
        ApplyPathModifier(w->piece, &w->pieceLength, *m, &w->marks);
        w->cleanKnown = false;
        p = m + 1;
        break;
      case u'p':
        w->printOnly = true;
        p = m + 1;
        break;
      case u'q':
      case u'x':
        quoting = *m;
        p = m + 1;
        break;
      case u's':
        if (m[1] == 0) {  // bash lets a bare :s at the end of the line change nothing
          p = m + 1;
          break;
        }
        p = ReadBashSubstitution(w, m + 1);
        if (p == nullptr || !ApplySubstitution(w, scope)) return nullptr;
        global = false;
        break;
      case u'&':
        if (w->oldLength == 0 || !ApplySubstitution(w, scope)) return nullptr;
        global = false;
        p = m + 1;
        break;
      default:
        return nullptr;
    }
  }
  if (quoting != 0) {
    size_t length = 0;
    if (QuoteBashText(w->piece, w->pieceLength, quoting == u'x', w->spare, &length) != 0 ||
        !w->budget.Spend(length)) {
      return nullptr;
    }
    SwapPiece(w, length);
    PieceChanged(w);
  }
  return p;
}

// Reads a word number at `p`; null when there is none. A number too large to name a word
// stops growing at kLineCapacity, which names none either.
const char16_t* ReadWordNumber(const char16_t* p, size_t* value) {
  if (!text::IsAsciiDigit(*p)) return nullptr;
  size_t n = 0;
  for (; text::IsAsciiDigit(*p); ++p) {
    if (n < kLineCapacity) n = n * 10 + static_cast<size_t>(*p - u'0');
  }
  *value = n;
  return p;
}

// Reads a word number, '^' (1) or '$' (`*last`: the last word) at `p`; null when there is none.
const char16_t* ReadWordIndex(const char16_t* p, size_t* index, bool* last) {
  *last = false;
  if (*p == u'^') {
    *index = 1;
    return p + 1;
  }
  if (*p == u'$') {
    *last = true;
    return p + 1;
  }
  return ReadWordNumber(p, index);
}

// Grammar of a word designator, after ':' (or directly after the event for ^ $ * - %):
//   n  ^  $  %      one word: the nth, the first argument, the last, the word of the latest
//                   !?string? search of the line
//   x-y  -y  x-  -  a range (x defaults to 0; without y it stops before the last word)
//   x^              x to the first argument, x-1
//   x*  *           x to the last word; * alone is 1 to the last and may be empty
// x is a number or ^, y a number, ^ or $; a '-' or '*' after '$' is ordinary text.
//   "!!:1-2"  "!$"  "!-2:^-"
// Selects the words from the piece, or from the new line so far (`lineSoFar`, for !#); the
// position after the designator, or null on a failure.
const char16_t* ApplyDesignator(BashWork* w, const char16_t* p, bool lineSoFar) {
  if (*p == u'%') {
    if (w->searchLength == 0) return nullptr;
    if (!w->matchKnown) FindMatchedWord(w);
    return SetPiece(w, w->matchedWord, w->matchedLength) ? p + 1 : nullptr;
  }
  const SplitWords split = lineSoFar ? SplitOut(w) : SplitWords{nullptr, nullptr, 0};
  const char16_t* text = lineSoFar ? w->out : w->piece;
  const size_t textLength = lineSoFar ? w->outLength : w->pieceLength;
  WordRange range = {0, 0, -1, false, false};
  bool last = false;
  if (*p == u'*') {
    range = {1, 0, 0, false, true};
    ++p;
  } else if (*p == u'$') {
    // Bash gives a text without words (blanks, a comment) whole as its last word.
    const size_t count = lineSoFar ? split.count : CountBashWords(text, textLength);
    if (!lineSoFar) w->budget.Spend(textLength);  // SplitOut has counted the new line's words
    if (count == 0) {
      if (lineSoFar && !SetPiece(w, text, textLength)) return nullptr;
      return p + 1;
    }
    range.first = range.last = count - 1;
    ++p;
  } else {
    if (*p != u'-') {
      p = ReadWordIndex(p, &range.first, &last);
      if (p == nullptr) return nullptr;
    }
    range.last = range.first;
    if (*p == u'*') {
      range.lastFromEnd = 0;
      ++p;
    } else if (*p == u'^') {
      range.last = 1;
      ++p;
    } else if (*p == u'-') {
      const char16_t* q = ReadWordIndex(p + 1, &range.last, &last);
      if (q == nullptr) {
        range.lastFromEnd = 1;
        range.allowEmpty = true;
        ++p;
      } else {
        if (last) range.lastFromEnd = 0;
        p = q;
      }
    }
  }
  size_t length = 0;
  if (!w->budget.Spend(lineSoFar ? 1 : textLength) ||
      SelectBashWords(text, textLength, lineSoFar ? &split : nullptr, range, w->spare, &length) !=
          0 ||
      !w->budget.Spend(length)) {
    return nullptr;
  }
  SwapPiece(w, length);
  PieceChanged(w);
  return p;
}

// Reads the event at `p` (after its '!') into the piece, unless it is !#, whose piece is the new
// line so far or the words a designator selects from it (`*lineSoFar` tells the caller to take
// it): the position after the event, or null when it names nothing.
const char16_t* ReadEventIntoPiece(BashWork* w, const char16_t* p, bool* lineSoFar) {
  *lineSoFar = false;
  const Event event = ReadEvent(kBashDialect, p);
  const HistoryIndex* index = nullptr;
  switch (event.kind) {
    case kEventNewest:
    case kEventNumber:
      index = Index(w);
      if (index == nullptr) return nullptr;
      return TakeEntry(w, IndexedEntry(*index, event.kind == kEventNewest
                                                   ? -1
                                                   : PositionOf(event.number, event.negative)))
                 ? event.end
                 : nullptr;
    case kEventLineSoFar:
      *lineSoFar = true;  // the piece is taken when it is known whether words are selected
      return event.end;
    case kEventContains: {
      if (event.length > 0) {
        if (!w->budget.Spend(event.length)) return nullptr;
        w->searchTyped = event.text;
        w->searchLength = event.length;
        text::CopyN(w->search, kLineCapacity, event.text, event.length);
      } else if (w->searchLength == 0) {
        return nullptr;
      }
      char16_t* entry = Search(w, kEventContains, w->searchTyped, w->searchLength);
      if (!TakeEntry(w, entry)) return nullptr;
      w->searchEntry = entry;
      w->matchKnown = false;
      return event.end;
    }
    case kEventPrefix:
      return TakeEntry(w, Search(w, kEventPrefix, event.text, event.length)) ? event.end : nullptr;
    default:
      return nullptr;
  }
}

// Appends the piece to the new line; false when the line would be too long.
bool EmitPiece(BashWork* w) {
  if (w->outLength + w->pieceLength > kMaxLineLength || !w->budget.Spend(w->pieceLength)) {
    return false;
  }
  for (size_t k = 0; k < w->pieceLength; ++k) w->out[w->outLength++] = w->piece[k];
  return true;
}

// Expands the reference at `p` (its '!') into the new line: the position after it, or null.
const char16_t* ExpandReference(BashWork* w, const char16_t* p) {
  bool lineSoFar = false;
  p = ReadEventIntoPiece(w, p + 1, &lineSoFar);
  if (p == nullptr) return nullptr;
  const char16_t* d = p[0] == u':' ? p + 1 : p;
  const bool designator = (p[0] == u':' && text::IsAsciiDigit(*d)) || *d == u'^' || *d == u'$' ||
                          *d == u'*' || *d == u'-' || *d == u'%';
  if (designator) {
    p = ApplyDesignator(w, d, lineSoFar);
    if (p == nullptr) return nullptr;
  } else if (lineSoFar && !SetPiece(w, w->out, w->outLength)) {
    return nullptr;
  }
  p = ApplyModifiers(w, p);
  return p != nullptr && EmitPiece(w) ? p : nullptr;
}

// A line that begins with '^': "^old^new^" is "!!:s^old^new^", and modifiers may follow.
const char16_t* ExpandQuickSubstitution(BashWork* w, const char16_t* line) {
  const HistoryIndex* index = Index(w);
  if (index == nullptr || !TakeEntry(w, IndexedEntry(*index, -1))) return nullptr;
  const char16_t* p = ReadBashSubstitution(w, line);
  if (p == nullptr || !ApplySubstitution(w, kFirst)) return nullptr;
  p = ApplyModifiers(w, p);
  return p != nullptr && EmitPiece(w) ? p : nullptr;
}

// Copies the typed line into the new line, expanding each reference, from `p` on.
bool ExpandFrom(BashWork* w, const char16_t* p) {
  const char16_t* line = w->facts.line;
  char16_t quote = 0;
  bool ok = true;
  while (ok && *p != 0) {
    const char16_t c = *p;
    if (quote == 0 && BeginsReference(&w->facts, p, w->out, w->outLength)) {
      p = ExpandReference(w, p);
      ok = p != nullptr;
      w->facts.plainFrom = p;
      continue;
    }
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (BeginsComment(line, p)) {
      while (ok && *p != 0) ok = Emit(w, *p++);
      break;
    } else if (c == u'"' || c == u'`') {
      quote = c;
    } else if (c == u'^' && p[1] != 0) {
      ok = Emit(w, c);
      ++p;
      if (text::CharUnits(p) == 2) ok = ok && Emit(w, *p++);  // a whole character is escaped
    }
    ok = ok && Emit(w, *p);
    ++p;
  }
  return ok;
}

}  // namespace

LineExpansion ExpandDefaultLine(const char16_t* line) {
  LineExpansion x = NewExpansion(kLineFailed);
  Budget budget = StartBudget();
  const Event event = ReadEvent(kDefaultDialect, line + 1);
  if (event.kind == kEventNone) return x;

  // A malformed rest fails before the history is walked or anything is taken from the heap.
  const char16_t* rest = event.end;
  for (const char16_t* r = rest; *r != 0;) {
    TypedSubstitution sub;
    if (r[0] != u':' || r[1] != u's' || !ReadSubstitution(kDefaultDialect, r + 2, &sub)) {
      return x;
    }
    x.openSubstitution = !sub.closed;
    r = sub.end;
  }

  // An entry longer than the line could only be run cut short.
  const char16_t* entry = WalkToEntry(event, &budget);
  if (entry == nullptr) return x;
  const size_t entryLength = text::BoundedLength(entry, kLineCapacity);
  if (entryLength > kMaxLineLength || !budget.Spend(entryLength)) return x;
  if (rest[0] == 0) {
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
  size_t length = entryLength;
  for (const char16_t* r = rest; *r != 0;) {
    TypedSubstitution sub;
    ReadSubstitution(kDefaultDialect, r + 2, &sub);
    r = sub.end;
    size_t made = 0, firstAt = 0;
    // The text searched is always a whole buffer, ended by its terminator, and the old text is
    // terminated here: no other copy is needed for the shell's search.
    char16_t old[kMaxDefaultText + 1];
    text::CopyN(old, kMaxDefaultText + 1, sub.old, sub.oldTyped);
    const Replacement replacement = {old, sub.oldTyped, sub.with, sub.withTyped};
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

// Grammar of a line by bash's rules:
//   line      := [quick] (text | quoted | escaped | reference)* [comment]
//   quick     := "^" old "^" new ["^"]   at the start of the line only: !!:s^old^new^
//   quoted    := '"' ... '"' | '`' ... '`'  (no reference inside; an open quote runs to the end)
//   escaped   := "^" character             (the shell's escape: it is ordinary, the ^ stays)
//   reference := "!" event [designator] modifier*   where BeginsReference holds: the '!' is not
//                followed by a blank, tab, line end, '=', '(' or the end of the line, and is no
//                part of [!...], ${!...} or $!
//   comment   := "#" ...   where the '#' begins a word (BeginsComment): no reference in it
// A backslash is an ordinary unit of this shell (its path separator), so "\!!" is a backslash
// and a reference; a single quote is ordinary too. Every reference must resolve, or the whole
// line fails. Events (references.cpp), designators and modifiers are described above their
// readers.
//   "sudo !!"               the newest entry after "sudo "
//   "cp !-2:1 !$:h"         word 1 of the second newest entry, the head of the last word
//   "echo \"hi!\" ^!x !$"   the quoted and the escaped bang stay; !$ expands
// Cost: one scan of the line, one walk of the history for the index, and per reference the
// units of the texts it reads and makes; all of it counted against the budget.
LineExpansion ExpandBashLine(const char16_t* line, const char16_t* rest) {
  LineExpansion x = NewExpansion(kLineNoReference);
  LineFacts facts = {line, rest, line, false, nullptr, nullptr, false, false};
  const char16_t* first = FirstReference(&facts);
  if (first == nullptr) return x;
  x.outcome = kLineFailed;
  // Every text read from the line (an old text, a search) fits a line-sized buffer only
  // because the line does.
  if (text::BoundedLength(line, kLineCapacity) > kMaxLineLength) return x;

  char* block = static_cast<char*>(std::malloc(kBlockBytes));
  if (block == nullptr) return x;
  x.block = block;
  char16_t* buffers = reinterpret_cast<char16_t*>(block);
  BashWork w = {};
  w.facts = facts;
  w.budget = StartBudget();
  w.index = &x.index;
  w.out = buffers + kOut * kLineCapacity;
  w.piece = buffers + kPiece * kLineCapacity;
  w.spare = buffers + kSpare * kLineCapacity;
  w.scratch = buffers + kScratch * kLineCapacity;
  w.oldText = buffers + kOldText * kLineCapacity;
  w.newText = buffers + kNewText * kLineCapacity;
  w.search = buffers + kSearchText * kLineCapacity;
  w.searches = reinterpret_cast<SearchSlot*>(buffers + kLineBuffers * kLineCapacity);
  w.outWords = reinterpret_cast<WordSpan*>(w.searches + kSearchSlots);

  bool ok = w.budget.Spend(static_cast<size_t>(first - line)) &&
            text::CopyN(w.out, kLineCapacity, line, static_cast<size_t>(first - line));
  w.outLength = static_cast<size_t>(first - line);
  const char16_t* p = first;
  if (ok && p == line && line[0] == u'^') {
    p = ExpandQuickSubstitution(&w, line);
    ok = p != nullptr;
    w.facts.plainFrom = p;
  }
  ok = ok && ExpandFrom(&w, p) && w.budget.Spend(w.outLength);
  x.openSubstitution = w.openSubstitution;
  if (!ok) return x;
  w.out[w.outLength] = 0;
  x.outcome = kLineExpanded;
  x.text = w.out;
  x.printOnly = w.printOnly;
  return x;
}

void ReleaseExpansion(LineExpansion* expansion) {
  std::free(expansion->block);
  expansion->block = nullptr;
  ReleaseHistoryIndex(&expansion->index);
}
