// The choice of rules every key's expansion goes through, and the swallowing of a key.
#include "keys/actions.h"

void SwallowKey(KeyEvent* event) {
  const bool named = ShellNamesKey(event);
  event->key = 0;
  if (named) event->keyName[0] = 0;
}

LineExpansion ExpandTypedLine(const char16_t* line, BashModeKnown bash, size_t cut) {
  if (line[0] == u'!') {
    LineExpansion x = ExpandLine(kDefaultDialect, line, cut);
    if (x.outcome == kLineExpanded) {
      // In bash mode a cut that bash's rules read the line's first reference on past falls
      // inside that reference, whatever the default rules see of it; and a blank typed at the
      // cut may still belong to it.
      bool open = false;
      if (cut == kWholeLine) return x;
      const bool past = BashReadsPast(line, cut, &open);
      if ((!past && !open) || (bash != kBashModeOn && !BashModeOn())) return x;
      if (!past) {
        x.open = true;
        return x;
      }
      ReleaseExpansion(&x);
      x.outcome = kLineFailed;
      return x;
    }
    ReleaseExpansion(&x);
    if (bash != kBashModeOn && !BashModeOn()) return x;
    // A cut inside the event the default rules read, where bash's rules may see a reference end
    // ("!ec$" in "!ec$x"), falls inside the reference Enter reads whenever the default rules
    // expand the line.
    if (cut != kWholeLine && DefaultReadsPast(line, cut)) return x;
  } else if (bash != kBashModeOn) {
    return LineExpansion{};
  }
  LineExpansion x = ExpandLine(kBashDialect, line, cut);
  if (x.outcome == kLineNoReference && line[0] == u'!') x.outcome = kLineFailed;
  return x;
}
