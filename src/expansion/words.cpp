// Bash mode's words: how an entry splits into words (as bash's history splits a line, with this
// shell's quotes), and the words a designator selects.
#include "expansion/words.h"

#include <algorithm>

#include "expansion/charsets.h"
#include "host/host_api.h"
#include "text/text.h"
#include "text/work.h"

namespace {

// The units before '(' that open a parenthesised group inside a word: command and process
// substitution ($( <( >() and the extended patterns (@( *( +( ?( !().
bool OpensGroup(char16_t c) {
  return c == u'$' || c == u'<' || c == u'>' || c == u'@' || c == u'*' || c == u'+' || c == u'?' ||
         c == u'!';
}

// The end of the group whose body begins at `k`, one level deep: the ')' that balances it,
// quotes inside not counting. An open group runs to the end of the text.
size_t GroupEnd(const char16_t* text, size_t length, size_t k) {
  for (size_t depth = 1; k < length; ++k) {
    if (text[k] == u'(') ++depth;
    if (text[k] == u')' && --depth == 0) return k + 1;
  }
  return length;
}

// The end of the operator that begins at `at`: ; ;; & && &> | || ( ) < << <<< <<- <& > >> >|
// >&, where <& and >& take the digits and the '-' of a descriptor with them.
size_t OperatorEnd(const char16_t* text, size_t length, size_t at) {
  const char16_t c = text[at];
  const char16_t next = at + 1 < length ? text[at + 1] : 0;
  const char16_t third = at + 2 < length ? text[at + 2] : 0;
  switch (c) {
    case u';':
    case u'|':
      return next == c ? at + 2 : at + 1;
    case u'&':
      return next == u'&' || next == u'>' ? at + 2 : at + 1;
    case u'<':
    case u'>': {
      if (next == c) return c == u'<' && (third == u'<' || third == u'-') ? at + 3 : at + 2;
      if (c == u'>' && next == u'|') return at + 2;
      if (next != u'&') return at + 1;
      size_t k = at + 2;
      while (k < length && text::IsAsciiDigit(text[k])) ++k;
      if (k < length && text[k] == u'-') ++k;
      return k;
    }
    default:
      return at + 1;
  }
}

}  // namespace

// Grammar of the words of an entry, as bash's history splits a line, with the shell's quotes:
//   blanks (space, tab, line feed) separate words and are no part of them;
//   a word that begins with '#' begins a comment: it and the rest of the text are no words
//     (for designators; :G splits the comment into words too);
//   an operator is a word of its own: ; ;; & && &> | || ( ) < << <<< <<- > >> >| <&N- >&N-,
//     and digits just before < or > belong to it ("2>&1", "10>");
//   any other word runs to a blank or an operator unit, and holds whole
//     "..." and `...` (to the closing quote, or to the end) and
//     $(...) <(...) >(...) @(...) *(...) +(...) ?(...) !(...) (to the balancing ')').
//   "cp a;b >x"      cp | a | ; | b | > | x
//   "x 2>&1 \"a b\"" x | 2>&1 | "a b"
//   "a $(b c)d # e"  a | $(b c)d
bool NextBashWord(const char16_t* text, size_t length, bool comments, size_t* at, size_t* start,
                  size_t* end) {
  const size_t from = *at;
  size_t i = *at;
  while (i < length && IsWordBlank(text[i])) ++i;
  if (i >= length || (comments && text[i] == u'#')) {
    *at = i;
    work::Done(i - from + 1);
    return false;
  }
  *start = i;
  auto next = [&](size_t k) { return k + 1 < length ? text[k + 1] : char16_t{0}; };

  if (text[i] == u'(' || text[i] == u')') {
    *end = *at = i + 1;
    work::Done(*at - from);
    return true;
  }
  size_t digits = i;
  while (digits < length && text::IsAsciiDigit(text[digits])) ++digits;
  const bool ordinary =  // digits that begin an ordinary word, not a redirection's descriptor
      digits > i && (digits == length || (text[digits] != u'<' && text[digits] != u'>'));
  i = digits;
  if (!ordinary) {
    if (IsOperatorUnit(text[i]) && !((text[i] == u'<' || text[i] == u'>') && next(i) == u'(')) {
      *end = *at = OperatorEnd(text, length, i);
      work::Done(*at - from);
      return true;
    }
    // A process substitution that begins the word is read from the unit after its '('; every
    // other group, as inside a word.
    if ((text[i] == u'<' || text[i] == u'>') && next(i) == u'(') i = GroupEnd(text, length, i + 2);
  }

  while (i < length && !IsWordBlank(text[i])) {
    const char16_t c = text[i];
    if (IsShellQuote(c)) {
      ++i;
      while (i < length && text[i] != c) ++i;
      if (i < length) ++i;
    } else if (OpensGroup(c) && next(i) == u'(') {
      // Inside a word bash steps over the unit just after the '(' without looking at it, so
      // "$((1 + 2))" ends at its first ')'.
      i = GroupEnd(text, length, std::min(i + 3, length));
    } else if (IsOperatorUnit(c)) {
      break;
    } else {
      ++i;
    }
  }
  *end = *at = i;
  work::Done(i - from);
  return true;
}

size_t CountBashWords(const char16_t* text, size_t length) {
  size_t count = 0;
  size_t at = 0, start = 0, end = 0;
  while (NextBashWord(text, length, true, &at, &start, &end)) ++count;
  return count;
}

bool FindBashWordAt(const char16_t* text, size_t length, size_t offset, size_t* start,
                    size_t* end) {
  size_t at = 0;
  while (NextBashWord(text, length, true, &at, start, end)) {
    if (*start > offset) return false;
    if (offset < *end) return true;
  }
  return false;
}

int SelectBashWords(const char16_t* text, size_t length, const SplitWords* split,
                    const WordRange& range, char16_t* out, size_t* outLength, size_t* examined) {
  *outLength = 0;
  *examined = 0;
  out[0] = 0;
  const size_t first = range.first;
  size_t last = range.last;
  if (range.lastFromEnd >= 0) {
    // Counted from the end: the words must be counted first. A range that ends at a fixed
    // word is read only up to it, so a designator costs no more than the words it takes.
    const size_t count = split != nullptr ? split->count : CountBashWords(text, length);
    if (split == nullptr) *examined = length;
    if (first >= count) return range.star ? 0 : -1;  // "*" of a one-word line is empty
    const size_t back = static_cast<size_t>(range.lastFromEnd);
    if (count < back + 1 + first) return range.allowEmpty ? 0 : -1;  // "x-" of the last word
    last = count - 1 - back;
  } else if (last < first) {
    return -1;
  }

  // Words inserted into a line are separated by single blanks. Words already split are taken
  // from the first one selected; a text is split as far as the last one.
  const bool spans = split != nullptr && split->spans != nullptr;
  size_t written = 0;
  size_t at = 0, start = 0, end = 0;
  size_t index = spans ? first : 0;
  for (; index <= last; ++index) {
    if (spans) {
      if (index >= split->count) break;
      start = split->spans[index].start;
      end = split->spans[index].end;
    } else if (!NextBashWord(text, length, true, &at, &start, &end)) {
      break;
    }
    if (index < first) continue;
    const size_t need = (index > first ? 1 : 0) + (end - start);
    if (written + need > kMaxLineLength) return -1;
    if (index > first) out[written++] = u' ';
    for (size_t k = start; k < end; ++k) out[written++] = text[k];
  }
  *examined += at;
  work::Done(written);
  if (index <= last) return -1;  // the text ended before the range did
  out[written] = 0;
  *outLength = written;
  return 0;
}
