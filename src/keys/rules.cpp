// The choice of rules every key's expansion goes through, and the swallowing of a key.
#include "keys/actions.h"
#include "text/text.h"

void SwallowKey(KeyEvent* event) {
  const bool named = ShellNamesKey(event);
  event->key = 0;
  if (named) event->keyName[0] = 0;
}

namespace {

// In bash mode a :p that ends the text puts up what Enter gives for the text without it: where
// the default rules read that text ("!ec$", whose '$' bash's rules take for a designator), their
// expansion, shown. `x` is the default rules' answer for the whole text, failed.
void PrintedAsDefault(const char16_t* line, BashModeKnown bash, size_t cut, LineExpansion* x) {
  const size_t end = cut == kWholeLine ? text::BoundedLength(line, kLineCapacity) : cut;
  if (end < 3 || line[end - 2] != u':' || line[end - 1] != u'p') return;
  if (bash != kBashModeOn && !BashModeOn()) return;
  LineExpansion shown = ExpandLine(kDefaultDialect, line, end - 2);
  if (shown.outcome != kLineExpanded) {
    ReleaseExpansion(&shown);
    return;
  }
  ReleaseExpansion(x);
  *x = shown;
  x->printOnly = true;
}

}  // namespace

LineExpansion ExpandTypedLine(const char16_t* line, BashModeKnown bash, size_t cut) {
  if (line[0] == u'!') {
    LineExpansion x = ExpandLine(kDefaultDialect, line, cut);
    if (x.outcome != kLineExpanded) PrintedAsDefault(line, bash, cut, &x);
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
