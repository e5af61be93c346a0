// Bash's word designators: the words of the piece, of the new line so far (!#), or the word
// of the latest search (%).
#include "core/settings_record.h"
#include "expansion/bash_work.h"
#include "text/text.h"
#include "text/work.h"

namespace {

// Finds, when % first asks for it, the word of the latest search's entry where its text last
// occurs (bash takes the last occurrence): once per search, kept in its slot of the line's
// table of searches, so that every later % of the same search costs nothing more. One pass over
// the entry finds every occurrence.
void FindMatchedWord(BashWork* w) {
  w->matchKnown = true;
  const char16_t* entry = w->searchEntry;
  SearchSlot* slot = w->searchSlot;
  if (slot != nullptr && slot->wordKnown) {
    w->matchedWord = entry + slot->wordStart;
    w->matchedLength = slot->wordLength;
    return;
  }
  w->matchedWord = entry;
  w->matchedLength = 0;
  const size_t length = text::BoundedLength(entry, kLineCapacity);
  work::Done(length);
  w->budget.Spend(length);
  const Pattern search = PreparePattern(w->search, w->searchLength, &w->budget);
  const char16_t* found = FindLastOccurrence(entry, length, search, &w->budget);
  size_t start = 0, end = 0;
  if (found != nullptr &&
      FindBashWordAt(entry, length, static_cast<size_t>(found - entry), &start, &end)) {
    w->budget.Spend(end);
    w->matchedWord = entry + start;
    w->matchedLength = end - start;
  }
  if (slot != nullptr && !w->budget.Spent()) {
    slot->wordKnown = true;
    slot->wordStart = static_cast<uint32_t>(w->matchedWord - entry);
    slot->wordLength = static_cast<uint32_t>(w->matchedLength);
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

// The words of the piece, a history entry as the event named it: their number and the span of
// the last one, split once for an entry however often the line asks for them.
PieceWords CountPieceWords(BashWork* w) {
  if (w->piece == w->wordsOf && w->pieceLength == w->wordsOfLength) return w->pieceWords;
  PieceWords words = {0, 0, 0};
  size_t at = 0, start = 0, end = 0;
  while (NextBashWord(w->piece, w->pieceLength, true, &at, &start, &end)) {
    ++words.count;
    words.lastStart = start;
    words.lastEnd = end;
  }
  w->budget.Spend(at + 1);
  if (w->piece != w->own) {  // the piece stays as it is: an entry of the shell's
    w->wordsOf = w->piece;
    w->wordsOfLength = w->pieceLength;
    w->pieceWords = words;
  }
  return words;
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

}  // namespace

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
    if (w->budget.Spent()) return nullptr;
    SetPiece(w, w->matchedWord, w->matchedLength);
    return p + 1;
  }
  const char16_t* text = lineSoFar ? w->out : w->piece;
  const size_t textLength = lineSoFar ? w->outLength : w->pieceLength;
  if (*p == u'$' && !lineSoFar) {
    // Bash gives a text without words (blanks, a comment) whole as its last word.
    const PieceWords words = CountPieceWords(w);
    if (words.count > 0) SetPiece(w, text + words.lastStart, words.lastEnd - words.lastStart);
    return w->budget.Spent() ? nullptr : p + 1;
  }
  const SplitWords split = lineSoFar ? SplitOut(w) : SplitWords{text, nullptr, 0};
  WordRange range = {0, 0, -1, false, false};
  bool last = false;
  if (*p == u'*') {
    range = {1, 0, 0, false, true};
    ++p;
  } else if (*p == u'$') {
    if (split.count == 0) {  // a new line without words is its own last word
      SetPiece(w, text, textLength);
      return p + 1;
    }
    range.first = range.last = split.count - 1;
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
  // Words counted from the end need the piece's number of words, counted once for an entry.
  SplitWords counted = split;
  if (!lineSoFar && range.lastFromEnd >= 0) counted.count = CountPieceWords(w).count;
  size_t length = 0, examined = 0;
  if (w->budget.Spent() ||
      SelectBashWords(text, textLength, lineSoFar || range.lastFromEnd >= 0 ? &counted : nullptr,
                      range, w->spare, &length, &examined) != 0 ||
      !w->budget.Spend(examined + length)) {
    return nullptr;
  }
  SwapPiece(w, length);
  PieceChanged(w);
  return p;
}
