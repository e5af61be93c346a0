// What Tab and Space do when QUORVIN_KEYS asks: the text before the cursor expanded in place,
// by the rules Enter applies, the text after the cursor kept as it is.
#include <cstring>

#include "keys/actions.h"
#include "text/text.h"

namespace {

// The text before the cursor, ended, for an expansion in place; then the new line made of its
// expansion and the text after the cursor. Process-wide for its size, not on the shell's stack;
// written and read within one keystroke.
char16_t TextBeforeCursor[kLineCapacity];

}  // namespace

// The expansion, then the text after the cursor as it was, with the cursor after the
// expansion. Tab is swallowed, Space goes on to the shell. Nothing changes and nothing sounds
// when the text holds no reference, fails, would make the line longer than 65535 units, or, for
// Space, ends inside a substitution whose closing delimiter is not typed yet.
void ExpandBeforeCursor(KeyEvent* event, Key key, BashModeKnown bash) {
  char16_t* line = event->line;
  const size_t length = text::BoundedLength(line, kLineCapacity);
  if (length > kMaxLineLength || event->cursor == nullptr || event->cursor <= line ||
      event->cursor > line + length) {
    return;
  }
  const size_t before = static_cast<size_t>(event->cursor - line);
  text::CopyN(TextBeforeCursor, kLineCapacity, line, before);
  LineExpansion x = ExpandTypedLine(TextBeforeCursor, bash, line + before);
  const size_t made = x.outcome == kLineExpanded ? text::Length(x.text) : 0;
  const bool fits = made + (length - before) <= kMaxLineLength;
  if (x.outcome == kLineExpanded && fits && !(key == kSpaceKey && x.openSubstitution)) {
    // The new line is made whole before the shell erases the line, which may erase the buffer
    // with it: the expansion, then the text after the cursor.
    std::memmove(TextBeforeCursor, x.text, made * sizeof(char16_t));
    std::memcpy(TextBeforeCursor + made, line + before, (length - before) * sizeof(char16_t));
    TextBeforeCursor[made + length - before] = 0;
    ClearEditLine(line);
    text::Copy(line, kLineCapacity, TextBeforeCursor);
    event->cursor = line + made;
    event->redraw = 1;
    if (key == kTabKey) SwallowKey(event);
  }
  ReleaseExpansion(&x);
}
