// What Tab and Space do when QUORVIN_KEYS asks: the text before the cursor expanded in place,
// by the rules Enter applies, the text after the cursor kept as it is.
#include <cstring>

#include "keys/actions.h"
#include "text/text.h"

namespace {

// The new line: the expansion of the text before the cursor, then the text after it. Process-wide
// for its size, not on the shell's stack; written and read within one keystroke.
char16_t NewLine[kLineCapacity];

}  // namespace

// Asks the engine what Enter would give for the text before the cursor, reading the whole typed
// line, and puts it before the text after the cursor, the cursor after it. Tab is swallowed,
// Space goes on to the shell. Nothing changes and nothing sounds when the text holds no
// reference or fails, when the cursor stands inside a character or inside a reference that the
// line goes on with after it, when the new line would be longer than 65535 units, or, for Space,
// when the text ends where the blank would still belong to its last reference (a substitution or
// a search not closed).
void ExpandBeforeCursor(KeyEvent* event, Key key, BashModeKnown bash) {
  char16_t* line = event->line;
  const size_t length = text::BoundedLength(line, kLineCapacity);
  if (length > kMaxLineLength || event->cursor == nullptr || event->cursor <= line ||
      event->cursor > line + length) {
    return;
  }
  const size_t before = static_cast<size_t>(event->cursor - line);
  if (text::SplitsPair(line, before)) return;
  LineExpansion x = ExpandTypedLine(line, bash, before);
  const size_t made = x.outcome == kLineExpanded ? text::Length(x.text) : 0;
  const bool fits = made + (length - before) <= kMaxLineLength;
  if (x.outcome == kLineExpanded && fits && !(key == kSpaceKey && x.open)) {
    // The new line is made whole before the shell erases the line, which may erase the buffer
    // with it: the expansion, then the text after the cursor.
    std::memcpy(NewLine, x.text, made * sizeof(char16_t));
    std::memcpy(NewLine + made, line + before, (length - before) * sizeof(char16_t));
    NewLine[made + length - before] = 0;
    ClearEditLine(line);
    text::Copy(line, kLineCapacity, NewLine);
    event->cursor = line + made;
    event->redraw = 1;
    if (key == kTabKey) SwallowKey(event);
  }
  ReleaseExpansion(&x);
}
