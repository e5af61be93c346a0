// Bash's modifiers: the chain after a reference (:h :t :r :e :p :q :x :s :& and the g, a and G
// that widen a substitution), the line's substitution state, and the path and quoting modifiers
// that rework the text in place.
#include <initializer_list>

#include "expansion/bash_work.h"
#include "expansion/charsets.h"
#include "text/text.h"
#include "text/work.h"

// ==== The line's substitution ====

namespace {

// Makes `sub` the line's substitution: its texts as bash reads them, or, `literally`, as typed
// (the default rules' reading: no backslash quotes the delimiter and '&' is ordinary). The
// position after it, or null.
const char16_t* SetSubstitution(BashWork* w, const TypedSubstitution& sub, bool literally) {
  w->open = !sub.closed;
  if (!w->budget.Spend(sub.oldTyped + sub.withTyped)) return nullptr;
  if (literally) {
    for (size_t k = 0; k < sub.oldTyped; ++k) w->oldText[k] = sub.old[k];
    for (size_t k = 0; k < sub.withTyped; ++k) w->newText[k] = sub.with[k];
    work::Done(sub.oldTyped + sub.withTyped);
    w->oldLength = sub.oldTyped;
    w->oldText[w->oldLength] = 0;
    w->oldPattern = PreparePattern(w->oldText, w->oldLength, &w->budget);
    w->newLength = sub.withTyped;
    w->newTooLong = false;
    w->cleanKnown = false;
    return sub.end;
  }
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
  w->oldPattern = PreparePattern(w->oldText, oldLength, &w->budget);

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
  work::Done(n + typedLength);
  w->newLength = n;
  return sub.end;
}

}  // namespace

// Reads "d old d new d" at `p` (at the delimiter d, one whole character; the closing one, or
// both, may be left out at the end of the line) into the substitution state. An empty old text
// takes the latest old text of the line, or else its latest search text. In the new text, as in
// bash, a backslash quotes d; then, when a '&' is left, each '&' stands for the old text and a
// backslash before a '&' makes it an ordinary '&'. The position after it, or null.
const char16_t* TakeSubstitution(BashWork* w, const char16_t* p) {
  TypedSubstitution sub;
  return ReadSubstitution(kBashDialect, p, &sub) ? SetSubstitution(w, sub, false) : nullptr;
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
  const Replacement r = {&w->oldPattern, w->newText, w->newLength};
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
//   h t r e   the head, tail, root or extension of the text (below)
//   p         print only; q x  bash's quoting of the result, the last one given counts
//   s d old d new d   the first old text replaced; & in new is the old text
//   &         the latest substitution again
// At the end of the line ":s" alone changes nothing. Anything else after a ':' fails.
//   "!!:h:t"  "!!:gs/a/b/"  "!!:s/x/[&]/:G&:p"
// Returns the position after the modifiers, or null on a failure.
const char16_t* ApplyModifiers(BashWork* w, const char16_t* p, bool defaultFirst) {
  char16_t quoting = 0;
  bool global = false;    // a g or a holds until an s or & has applied it
  bool eachWord = false;  // a G holds for every later s and & of the same reference
  const char16_t* chainEnd = defaultFirst ? DefaultChainEnd(p) : nullptr;
  while (*p == u':') {
    const char16_t* m = p + 1;
    TypedSubstitution leading;
    defaultFirst =
        defaultFirst && m[0] == u's' && ReadLeadingSubstitution(m + 1, chainEnd, &leading);
    if (*m == u'g' || *m == u'a') global = true;
    if (*m == u'G') eachWord = true;
    if (*m == u'g' || *m == u'a' || *m == u'G') ++m;
    const SubstituteScope scope = global ? kGlobal : eachWord ? kEachWord : kFirst;
    if (!w->budget.Spend(1)) return nullptr;
    w->open = false;
    switch (*m) {
      case u'h':
      case u't':
      case u'r':
      case u'e':
        if (!OwnPiece(w) ||
            !w->budget.Spend(ApplyPathModifier(w->own, &w->pieceLength, *m, &w->marks))) {
          return nullptr;
        }
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
        if (m[1] == 0) {   // bash lets a bare :s at the end of the line change nothing
          w->open = true;  // but a blank may be its delimiter
          p = m + 1;
          break;
        }
        p = defaultFirst ? SetSubstitution(w, leading, true) : TakeSubstitution(w, m + 1);
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

// ==== Path modifiers and quoting ====

namespace {

// A path separator of this shell's paths: '\' as well as bash's '/'.
bool IsPathSeparator(char16_t c) {
  return c == u'/' || c == u'\\';
}

bool IsAsciiLetter(char16_t c) {
  return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

bool IsAsciiLetterOrDigit(char16_t c) {
  return IsAsciiLetter(c) || (c >= u'0' && c <= u'9');
}

}  // namespace

// The last separator (or '.') is looked for from the end back to where the marks say none is
// left, and what is learnt is kept: so :h:h:h, :e:e or :t:t scan every unit of the text at most
// once. A drive ("C:" at the start of the text or after a unit that is no letter or digit, as in
// "notepad C:\notes.txt") keeps the separator after it under :h, which gives the drive's root
// ("C:\"): without it, "C:" would name the drive's current folder.
size_t ApplyPathModifier(char16_t* text, size_t* length, char16_t which, PathMarks* marks) {
  const bool slash = which == u'h' || which == u't';
  size_t& clean = slash ? marks->noSlashFrom : marks->noDotFrom;
  size_t found = *length;
  const size_t scanFrom = clean < *length ? clean : *length;
  for (size_t k = scanFrom; k > 0; --k) {
    if (slash ? IsPathSeparator(text[k - 1]) : text[k - 1] == u'.') {
      found = k - 1;
      break;
    }
  }
  const size_t scanned = scanFrom - (found == *length ? 0 : found) + 1;
  work::Done(scanned);
  if (found == *length) {  // no '/' or '.': every one of them leaves the text as it is
    clean = 0;
    return scanned;
  }
  clean = found + 1;
  size_t from = 0;
  size_t to = *length;
  const bool driveRoot = found >= 2 && text[found - 1] == u':' && IsAsciiLetter(text[found - 2]) &&
                         (found == 2 || !IsAsciiLetterOrDigit(text[found - 3]));
  switch (which) {
    case u'h':  // the head: up to the last separator, or a drive's root
      to = driveRoot ? found + 1 : found;
      break;
    case u'r':  // the root: up to the last '.'
      to = found;
      break;
    case u't':  // the tail: after the last separator
      from = found + 1;
      break;
    default:  // 'e', the extension: from the last '.'
      from = found;
      break;
  }
  const size_t moved = from > 0 ? to - from : 0;
  for (size_t k = from; k < to && from > 0; ++k) text[k - from] = text[k];
  work::Done(moved);
  *length = to - from;
  text[*length] = 0;
  // What was known of the part kept holds for it still, moved with it.
  for (size_t* known : {&marks->noSlashFrom, &marks->noDotFrom}) {
    *known = *known > to ? to : *known;
    *known = *known > from ? *known - from : 0;
  }
  return scanned + moved;
}

int QuoteBashText(const char16_t* text, size_t length, bool splitAtBlanks, char16_t* out,
                  size_t* outLength) {
  size_t written = 0;
  // Appends `count` units of `units`; false when the line would be too long.
  auto put = [&](const char16_t* units, size_t count) {
    if (written + count > kMaxLineLength) return false;
    for (size_t k = 0; k < count; ++k) out[written++] = units[k];
    return true;
  };
  if (!put(u"'", 1)) return -1;
  for (size_t k = 0; k < length; ++k) {
    const char16_t c = text[k];
    bool fits;
    if (c == u'\'') {
      fits = put(u"'\\''", 4);  // close the quote, an escaped quote, open again
    } else if (splitAtBlanks && IsWordBlank(c)) {
      const char16_t blank[] = {u'\'', c, u'\''};
      fits = put(blank, 3);
    } else {
      fits = put(&c, 1);
    }
    if (!fits) return -1;
  }
  if (!put(u"'", 1)) return -1;
  out[written] = 0;
  *outLength = written;
  work::Done(written);
  return 0;
}
