// The choice of rules every key's expansion goes through, and the swallowing of a key.
#include "keys/actions.h"

void SwallowKey(KeyEvent* event) {
  const bool named = ShellNamesKey(event);
  event->key = 0;
  if (named) event->keyName[0] = 0;
}

LineExpansion ExpandTypedLine(const char16_t* line, BashModeKnown bash, const char16_t* rest) {
  if (line[0] == u'!') {
    LineExpansion x = ExpandLine(kDefaultDialect, line);
    if (x.outcome == kLineExpanded) return x;
    ReleaseExpansion(&x);
    if (bash != kBashModeOn && !BashModeOn()) return x;
  } else if (bash != kBashModeOn) {
    return LineExpansion{};
  }
  LineExpansion x = ExpandLine(kBashDialect, line, rest);
  if (x.outcome == kLineNoReference && line[0] == u'!') x.outcome = kLineFailed;
  return x;
}
