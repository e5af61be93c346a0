// Bash mode, the line level: finds every history reference of a line, resolves its event with
// the default mode's numbering and searches, and applies its designator and modifiers.
#include <cstdlib>

#include "core/core.h"
#include "history/history.h"
#include "text/text.h"

namespace {

constexpr size_t kMaxLineLength = kLineCapacity - 1;

// The line-sized buffers of one expansion, taken from the heap as one block.
enum BashBuffer {
  kOutBuffer,
  kPieceBuffer,
  kSpareBuffer,
  kOldTextBuffer,
  kNewTextBuffer,
  kSearchBuffer,
  kBuffers
};

// The work of one expansion: its buffers, and what earlier references of the same line leave
// for later ones (nothing survives the call).
struct BashWork {
  char16_t* out;                // the new line so far; the start of the heap block
  size_t outLength;             // units in `out`
  char16_t* piece;              // the text of the reference being expanded
  size_t pieceLength;           // units in `piece`
  char16_t* spare;              // where the next step writes; then swapped with `piece`
  char16_t* oldText;            // the old text of the latest substitution (for :& and an empty old)
  size_t oldLength;             // its units; 0 while the line has had no substitution
  char16_t* newText;            // its new text, each '&' already replaced by the old text
  size_t newLength;             // its units
  bool newTooLong;              // the new text alone would not fit in a line
  char16_t* search;             // the latest !?string? search text
  size_t searchLength;          // its units; 0 while the line has had no such search
  const char16_t* matchedWord;  // for %: the word of the entry where that search matched
  size_t matchedLength;         // its units (0: it matched between words)
  bool printOnly;               // a :p modifier was met
};

// How a substitution applies: to the first occurrence, to every one (:g, :a), or once in each
// word (:G).
enum SubstituteScope { kFirst, kGlobal, kEachWord };

bool Emit(BashWork* w, char16_t c) {
  if (w->outLength >= kMaxLineLength) return false;
  w->out[w->outLength++] = c;
  return true;
}

void SwapPiece(BashWork* w, size_t length) {
  char16_t* t = w->piece;
  w->piece = w->spare;
  w->spare = t;
  w->pieceLength = length;
  w->piece[length] = 0;
}

// A '!' followed by one of these, or by the end of the line, is an ordinary character. '(' is
// this shell's addition: bash would search for an empty text there and fail the line.
bool EndsBang(char16_t c) {
  return c == 0 || c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'=' || c == u'(';
}

// What the rules for a '!' need to know of the whole typed line, read in one scan.
struct LineFacts {
  const char16_t* line;     // the typed line
  const char16_t* lastBracket;  // its last ']', or null
  const char16_t* lastBrace;    // its last '}', or null
};

LineFacts ReadLineFacts(const char16_t* line) {
  LineFacts facts = {line, nullptr, nullptr};
  for (const char16_t* p = line; *p != 0; ++p) {
    if (*p == u']') facts.lastBracket = p;
    if (*p == u'}') facts.lastBrace = p;
  }
  return facts;
}

// Whether the '!' at `p` begins a reference, `made` being the new line so far (`madeLength`
// units). Besides EndsBang, a '!' that the shell itself needs is left alone, by bash's own
// rules:
//   [!...]   a '!' right after '[' with a ']' later in the typed line: a wildcard's negation;
//   ${!...}  a '!' right after "${" with a '}' later in the typed line;
//   $!       a '!' right after a '$' that ends the new line so far, when that '$' is not all it
//            holds (bash reads the line it is making here, so a '$' an expansion ends with
//            counts as well).
// Bash applies the first two only to lines in which no other '!' is a reference; here they hold
// on every line.
bool BeginsReference(const LineFacts& facts, const char16_t* p, const char16_t* made,
                     size_t madeLength) {
  if (*p != u'!' || EndsBang(p[1])) return false;
  const size_t at = static_cast<size_t>(p - facts.line);
  if (at > 0 && p[-1] == u'[' && facts.lastBracket > p) return false;
  if (at > 1 && p[-1] == u'{' && p[-2] == u'$' && facts.lastBrace > p) return false;
  if (madeLength > 1 && made[madeLength - 1] == u'$') return false;
  return true;
}

// The units that end the text of a !string search (and the end of the line); a '-' ends it
// only after its first unit.
bool EndsSearchWord(char16_t c) {
  switch (c) {
    case 0:
    case u' ':
    case u'\t':
    case u'\n':
    case u':':
    case u';':
    case u'&':
    case u'|':
    case u'<':
    case u'>':
    case u'(':
    case u')':
    case u'^':
    case u'$':
    case u'*':
    case u'%':
    case u'-':
    case u'"':
    case u'`':
      return true;
    default:
      return false;
  }
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
const char16_t* FirstReference(const LineFacts& facts) {
  const char16_t* line = facts.line;
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

// Copies an entry into the piece; false when it is longer than a line.
bool TakeEntry(BashWork* w, const char16_t* entry) {
  if (entry == nullptr) return false;
  const size_t length = text::BoundedLength(entry, kLineCapacity);
  if (length > kMaxLineLength) return false;
  for (size_t k = 0; k < length; ++k) w->piece[k] = entry[k];
  w->pieceLength = length;
  w->piece[length] = 0;
  return true;
}

// The occurrence of the old text in `text` (`length` units) at or after `from` that ends by
// `limit`, or null.
const char16_t* FindOld(const BashWork& w, const char16_t* text, size_t length, size_t from,
                        size_t limit) {
  const char16_t* found = FindOccurrence(text + from, length - from, w.oldText, w.oldLength,
                                         PluginSettings.caseInsensitive != 0);
  if (found == nullptr || static_cast<size_t>(found - text) + w.oldLength > limit) return nullptr;
  return found;
}

// Writes the new text at `*written` in `out`. False when the line would be too long.
bool WriteNewText(const BashWork& w, char16_t* out, size_t* written) {
  if (w.newTooLong || *written + w.newLength > kMaxLineLength) return false;
  for (size_t k = 0; k < w.newLength; ++k) out[(*written)++] = w.newText[k];
  return true;
}

// Applies the latest substitution to the piece. False when the old text does not occur (in no
// word, for kEachWord) or the result would be too long.
bool Substitute(BashWork* w, SubstituteScope scope) {
  const char16_t* src = w->piece;
  const size_t length = w->pieceLength;
  char16_t* out = w->spare;
  size_t written = 0;
  size_t copied = 0;  // units of src dealt with
  bool any = false;
  // Copies src up to `to`, then the new text in place of the old text found there.
  auto replace = [&](size_t to) {
    if (written + (to - copied) > kMaxLineLength) return false;
    for (size_t k = copied; k < to; ++k) out[written++] = src[k];
    copied = to + w->oldLength;
    any = true;
    return WriteNewText(*w, out, &written);
  };

  if (scope == kEachWord) {
    size_t at = 0, start = 0, end = 0;
    while (NextBashWord(src, length, false, &at, &start, &end)) {
      const char16_t* found = FindOld(*w, src, length, start, end);
      if (found != nullptr && !replace(static_cast<size_t>(found - src))) return false;
    }
  } else {
    for (size_t from = 0; from + w->oldLength <= length;) {
      const char16_t* found = FindOld(*w, src, length, from, length);
      if (found == nullptr) break;
      if (!replace(static_cast<size_t>(found - src))) return false;
      if (scope == kFirst) break;
      from = copied;
    }
  }
  if (!any || written + (length - copied) > kMaxLineLength) return false;
  for (size_t k = copied; k < length; ++k) out[written++] = src[k];
  SwapPiece(w, written);
  return true;
}

// The delimiter at `p`: one whole character, a surrogate pair included.
struct Delimiter {
  char16_t units[2];  // the character; units[1] is used only when `length` is 2
  size_t length;      // 1 or 2
  // Whether the character at `p` (the start of a character) is the delimiter.
  bool At(const char16_t* p) const {
    return text::CharUnits(p) == length && p[0] == units[0] && (length == 1 || p[1] == units[1]);
  }
};

// Reads a text up to the delimiter `d` or the end of the line, a backslash before `d` quoting
// it, into `out` (at most kMaxLineLength units, which a text of the line cannot exceed): the
// position of the delimiter that ends it (or of the terminator) and its length in `*length`.
const char16_t* ReadDelimited(const char16_t* p, const Delimiter& d, char16_t* out,
                              size_t* length) {
  size_t n = 0;
  while (*p != 0 && !d.At(p)) {
    if (p[0] == u'\\' && d.At(p + 1)) ++p;
    for (size_t k = text::CharUnits(p); k > 0; --k) out[n++] = *p++;
  }
  *length = n;
  return p;
}

// Reads "d old d new d" at `p` (at the delimiter d, one whole character; the closing one, or
// both, may be left out at the end of the line) into the substitution state. An empty old text
// takes the latest old text of the line, or else its latest search text. In the new text, as in
// bash, a backslash quotes d; then, when a '&' is left, each '&' stands for the old text and a
// backslash before a '&' makes it an ordinary '&'. The position after it, or null.
const char16_t* ReadSubstitution(BashWork* w, const char16_t* p) {
  const Delimiter d = {{p[0], p[1]}, text::CharUnits(p)};
  p += d.length;
  size_t oldLength = 0;
  p = ReadDelimited(p, d, w->oldText, &oldLength);
  if (*p != 0) p += d.length;
  if (oldLength == 0) {
    if (w->oldLength == 0 && w->searchLength == 0) return nullptr;
    if (w->oldLength == 0) {
      text::CopyN(w->oldText, kLineCapacity, w->search, w->searchLength);
      oldLength = w->searchLength;
    } else {
      oldLength = w->oldLength;
    }
  }
  w->oldLength = oldLength;
  w->oldText[oldLength] = 0;

  // The new text as typed goes to the spare buffer first, then into newText with '&' replaced.
  size_t typedLength = 0;
  p = ReadDelimited(p, d, w->spare, &typedLength);
  if (*p != 0) p += d.length;
  const char16_t* typed = w->spare;
  bool ampersand = false;
  for (size_t k = 0; k < typedLength; ++k) ampersand = ampersand || typed[k] == u'&';
  size_t n = 0;
  w->newTooLong = false;
  for (size_t k = 0; k < typedLength && !w->newTooLong; ++k) {
    const char16_t* units = &typed[k];
    size_t count = 1;
    if (ampersand && typed[k] == u'\\' && k + 1 < typedLength && typed[k + 1] == u'&') {
      units = &typed[++k];
    } else if (ampersand && typed[k] == u'&') {
      units = w->oldText;
      count = w->oldLength;
    }
    if (n + count > kMaxLineLength) {
      w->newTooLong = true;
      break;
    }
    for (size_t i = 0; i < count; ++i) w->newText[n++] = units[i];
  }
  w->newLength = n;
  return p;
}

// Grammar of the modifiers, each after a ':' (g or a makes the next s or & of the reference
// replace every occurrence, even with other modifiers between; G makes every later s and & of
// the reference replace once in each word):
//   h t r e   the head, tail, root or extension of the text (bash_words.cpp)
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
    switch (*m) {
      case u'h':
      case u't':
      case u'r':
      case u'e':
        ApplyPathModifier(w->piece, &w->pieceLength, *m);
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
        p = ReadSubstitution(w, m + 1);
        if (p == nullptr || !Substitute(w, scope)) return nullptr;
        global = false;
        break;
      case u'&':
        if (w->oldLength == 0 || !Substitute(w, scope)) return nullptr;
        global = false;
        p = m + 1;
        break;
      default:
        return nullptr;
    }
  }
  if (quoting != 0) {
    size_t length = 0;
    if (QuoteBashText(w->piece, w->pieceLength, quoting == u'x', w->spare, &length) != 0) {
      return nullptr;
    }
    SwapPiece(w, length);
  }
  return p;
}

// Reads a word number at `p`; null when there is none. A number too large to name a word
// stops growing at kLineCapacity, which names none either.
const char16_t* ReadWordNumber(const char16_t* p, size_t* value) {
  if (*p < u'0' || *p > u'9') return nullptr;
  size_t n = 0;
  for (; *p >= u'0' && *p <= u'9'; ++p) {
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
// Selects the words from the piece; the position after the designator, or null on a failure.
const char16_t* ApplyDesignator(BashWork* w, const char16_t* p) {
  if (*p == u'%') {
    if (w->searchLength == 0) return nullptr;
    text::CopyN(w->piece, kLineCapacity, w->matchedWord, w->matchedLength);
    w->pieceLength = w->matchedLength;
    return p + 1;
  }
  WordRange range = {0, 0, -1, false, false};
  bool last = false;
  if (*p == u'*') {
    range = {1, 0, 0, false, true};
    ++p;
  } else if (*p == u'$') {
    // Bash gives a text without words (blanks, a comment) whole as its last word.
    const size_t count = CountBashWords(w->piece, w->pieceLength);
    if (count == 0) return p + 1;
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
  if (SelectBashWords(w->piece, w->pieceLength, range, w->spare, &length) != 0) return nullptr;
  SwapPiece(w, length);
  return p;
}

// Remembers the word of `entry` where the line's latest search text (w->search) matched, for %.
void RememberMatch(BashWork* w, const char16_t* entry) {
  w->matchedWord = entry;
  w->matchedLength = 0;
  const size_t length = text::BoundedLength(entry, kLineCapacity);
  // Bash takes the last occurrence in the entry.
  const bool foldCase = PluginSettings.caseInsensitive != 0;
  const char16_t* found = nullptr;
  for (size_t from = 0; from + w->searchLength <= length;) {
    const char16_t* next =
        FindOccurrence(entry + from, length - from, w->search, w->searchLength, foldCase);
    if (next == nullptr) break;
    found = next;
    from = static_cast<size_t>(next - entry) + 1;
  }
  size_t start = 0, end = 0;
  if (found != nullptr &&
      FindBashWordAt(entry, length, static_cast<size_t>(found - entry), &start, &end)) {
    w->matchedWord = entry + start;
    w->matchedLength = end - start;
  }
}

// Grammar of an event, after the '!':
//   !             the newest entry
//   #             the new line so far
//   n  -n  +n  0xN   by number, Quorvin's numbering (ParseHistoryNumber, EntryForNumber)
//   ?text?  ?text    the newest entry that contains text (to '?' or the end of the line; an
//                    empty text is the line's latest search text)
//   text          the newest entry that begins with text (up to a blank, a quote or one of
//                 : ; & | < > ( ) ^ $ * % and a '-' after its first unit)
//   ^ $ * % :     (not consumed) the newest entry, with that designator or modifier
// Reads the event at `p` into the piece: the position after it, or null when it names nothing.
const char16_t* ReadEvent(BashWork* w, const char16_t* p) {
  if (*p == u'!') return TakeEntry(w, NewestEntry()) ? p + 1 : nullptr;
  if (*p == u'#') {
    text::CopyN(w->piece, kLineCapacity, w->out, w->outLength);
    w->pieceLength = w->outLength;
    return p + 1;
  }
  if (text::IsAsciiDigit(*p) || ((*p == u'-' || *p == u'+') && text::IsAsciiDigit(p[1]))) {
    int32_t value = 0;
    const char16_t* end = p;
    if (ParseHistoryNumber(p, &value, &end) != 0) return nullptr;
    return TakeEntry(w, EntryForNumber(value)) ? end : nullptr;
  }
  if (*p == u'?') {
    const char16_t* start = ++p;
    while (*p != 0 && *p != u'?') ++p;
    const size_t length = static_cast<size_t>(p - start);
    if (*p == u'?') ++p;
    if (length > 0) {
      text::CopyN(w->search, kLineCapacity, start, length);
      w->searchLength = length;
    } else if (w->searchLength == 0) {
      return nullptr;
    }
    char16_t* entry = FindEntry(w->search, false, HistoryStart(), w->searchLength);
    if (!TakeEntry(w, entry)) return nullptr;
    RememberMatch(w, entry);
    return p;
  }
  if (*p == u'^' || *p == u'$' || *p == u'*' || *p == u'%' || *p == u':') {
    return TakeEntry(w, NewestEntry()) ? p : nullptr;
  }
  const char16_t* start = p;
  if (*p == u'-') ++p;  // a search text may begin with '-'
  while (!EndsSearchWord(*p)) ++p;
  const size_t length = static_cast<size_t>(p - start);
  if (length == 0) return nullptr;
  return TakeEntry(w, FindEntry(start, true, HistoryStart(), length)) ? p : nullptr;
}

// Appends the piece to the new line; false when the line would be too long.
bool EmitPiece(BashWork* w) {
  if (w->outLength + w->pieceLength > kMaxLineLength) return false;
  for (size_t k = 0; k < w->pieceLength; ++k) w->out[w->outLength++] = w->piece[k];
  return true;
}

// Expands the reference at `p` (its '!') into the new line: the position after it, or null.
const char16_t* ExpandReference(BashWork* w, const char16_t* p) {
  p = ReadEvent(w, p + 1);
  if (p == nullptr) return nullptr;
  const char16_t* d = p[0] == u':' ? p + 1 : p;
  const bool designator = (p[0] == u':' && *d >= u'0' && *d <= u'9') || *d == u'^' || *d == u'$' ||
                          *d == u'*' || *d == u'-' || *d == u'%';
  if (designator) {
    p = ApplyDesignator(w, d);
    if (p == nullptr) return nullptr;
  }
  p = ApplyModifiers(w, p);
  return p != nullptr && EmitPiece(w) ? p : nullptr;
}

// A line that begins with '^': "^old^new^" is "!!:s^old^new^", and modifiers may follow.
const char16_t* ExpandQuickSubstitution(BashWork* w, const char16_t* line) {
  if (!TakeEntry(w, NewestEntry())) return nullptr;
  const char16_t* p = ReadSubstitution(w, line);
  if (p == nullptr || !Substitute(w, kFirst)) return nullptr;
  p = ApplyModifiers(w, p);
  return p != nullptr && EmitPiece(w) ? p : nullptr;
}

}  // namespace

// Grammar of a line in bash mode:
//   line      := [quick] (text | quoted | escaped | reference)* [comment]
//   quick     := "^" old "^" new ["^"]   at the start of the line only: !!:s^old^new^
//   quoted    := '"' ... '"' | '`' ... '`'  (no reference inside; an open quote runs to the end)
//   escaped   := "^" unit                   (the shell's escape: the unit is ordinary, the ^ stays)
//   reference := "!" event [designator] modifier*   where BeginsReference holds: the '!' is not
//                followed by a blank, tab, line end, '=', '(' or the end of the line, and is no
//                part of [!...], ${!...} or $!
//   comment   := "#" ...   where the '#' begins a word (BeginsComment): no reference in it
// A backslash is an ordinary unit of this shell (its path separator), so "\!!" is a backslash
// and a reference; a single quote is ordinary too. Every reference must resolve, or the whole
// line fails. Events, designators and modifiers are described above their readers.
//   "sudo !!"               the newest entry after "sudo "
//   "cp !-2:1 !$:h"         word 1 of the second newest entry, the head of the last word
//   "echo \"hi!\" ^!x !$"   the quoted and the escaped bang stay; !$ expands
BashOutcome ExpandBashLine(const char16_t* line, char16_t** result, bool* printOnly) {
  *result = nullptr;
  *printOnly = false;
  const LineFacts facts = ReadLineFacts(line);
  const char16_t* first = FirstReference(facts);
  if (first == nullptr) return BashNoReference;
  // Every text read from the line (an old text, a search) fits a line-sized buffer only
  // because the line does.
  if (text::BoundedLength(line, kLineCapacity) > kMaxLineLength) return BashFailed;

  char16_t* block =
      static_cast<char16_t*>(std::malloc(kBuffers * kLineCapacity * sizeof(char16_t)));
  if (block == nullptr) return BashFailed;
  BashWork w = {};
  w.out = block + kOutBuffer * kLineCapacity;
  w.piece = block + kPieceBuffer * kLineCapacity;
  w.spare = block + kSpareBuffer * kLineCapacity;
  w.oldText = block + kOldTextBuffer * kLineCapacity;
  w.newText = block + kNewTextBuffer * kLineCapacity;
  w.search = block + kSearchBuffer * kLineCapacity;

  bool ok = text::CopyN(w.out, kLineCapacity, line, static_cast<size_t>(first - line));
  w.outLength = static_cast<size_t>(first - line);
  const char16_t* p = first;
  if (ok && p == line && line[0] == u'^') {
    p = ExpandQuickSubstitution(&w, line);
    ok = p != nullptr;
  }
  char16_t quote = 0;
  while (ok && *p != 0) {
    const char16_t c = *p;
    if (quote == 0 && BeginsReference(facts, p, w.out, w.outLength)) {
      p = ExpandReference(&w, p);
      ok = p != nullptr;
      continue;
    }
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (BeginsComment(line, p)) {
      while (ok && *p != 0) ok = Emit(&w, *p++);
      break;
    } else if (c == u'"' || c == u'`') {
      quote = c;
    } else if (c == u'^' && p[1] != 0) {
      ok = Emit(&w, c);
      ++p;
      if (text::CharUnits(p) == 2) ok = ok && Emit(&w, *p++);  // a whole character is escaped
    }
    ok = ok && Emit(&w, *p);
    ++p;
  }
  if (!ok) {
    std::free(block);
    return BashFailed;
  }
  w.out[w.outLength] = 0;
  *result = w.out;
  *printOnly = w.printOnly;
  return BashExpanded;
}
