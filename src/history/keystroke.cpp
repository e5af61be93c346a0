// The keystroke handler: decides whether a key is Enter or Shift-Enter and, for a line that
// begins with a bang, replaces the line by the history entry it refers to; in bash mode, hands
// the lines the default rules fail or leave alone to bash's rules.
#include <cstdlib>
#include <utility>

#include "core/core.h"
#include "history/history.h"
#include "platform/platform.h"
#include "text/text.h"

namespace {

// Bits the working copy of the key code gets for two modifier pairs, so that Shift+Ctrl and
// Ctrl+Alt never match a plain key code.
constexpr int kShiftCtrlBit = 0x20000;
constexpr int kCtrlAltBit = 0x40000;

constexpr size_t kMaxLineLength = kLineCapacity - 1;

// What ExpandDefault answers for a line its rules cannot expand.
constexpr int kDefaultFailed = -1;

// The shell variable that switches bash mode on with the value "bash" in any case; read at
// every Enter or Shift-Enter that may need it, so a change takes effect at the next one.
constexpr const char16_t* kBashModeVariable = u"%[QUORVIN_EXPAND]";

bool Held(int virtualKey) {
  return win::GetAsyncKeyState(virtualKey) < 0;
}

// Swallows the key: the shell neither executes the line nor sees the key's name.
void SwallowKey(KeyEvent* event, bool keyNameMode) {
  event->key = 0;
  if (keyNameMode) event->keyName[0] = 0;
}

// One scan of a line that does not begin with '!': bash mode could find a reference in it.
bool MayHoldBashReference(const char16_t* line) {
  if (line[0] == u'^') return true;
  for (const char16_t* p = line; *p != 0; ++p) {
    if (*p == u'!') return true;
  }
  return false;
}

// Bash mode is on: the shell variable reads "bash" in any case, now.
bool BashModeOn() {
  return text::EqualsIgnoreAsciiCase(ExpandShellText(kBashModeVariable), u"bash");
}

// The key code or name may be Enter or Shift-Enter: one compare, before the line is read.
bool MayBeExpansionKey(const KeyEvent* event) {
  if (event->key == kKeyEnter || event->key == kKeyShiftEnter) return true;
  return HostMajorVersion >= kKeyNameVersion && event->keyName != nullptr &&
         (text::FoldAscii(event->keyName[0]) == u'e' || text::FoldAscii(event->keyName[0]) == u's');
}

// The failure path: the line, the cursor and the redraw flag stay as they are. Always 0.
int FailExpansion(KeyEvent* event, bool keyNameMode) {
  if (PluginSettings.executeOnFailure == 0) SwallowKey(event, keyNameMode);
  if (PluginSettings.errorBeepMode != BeepNone) PlayErrorBeep();
  return 0;
}

// Writes the expansion `result` (at most 65535 units) into the line. Always 0.
int FinishExpansion(KeyEvent* event, ExpansionMode mode, bool keyNameMode, const char16_t* result) {
  ClearEditLine(event->line);
  text::Copy(event->line, kLineCapacity, result);
  event->redraw = 1;
  event->cursor = event->line + text::Length(event->line);
  if (mode == ExpandOnly) SwallowKey(event, keyNameMode);
  return 0;
}

// The two line-sized buffers of one expansion with modifiers, taken from the heap once and
// given back when the expansion ends, whatever its outcome.
struct WorkBuffers {
  char16_t* current = nullptr;  // the text so far
  char16_t* next = nullptr;     // where the next modifier writes
  bool Obtain() {
    current = static_cast<char16_t*>(std::malloc(kLineCapacity * sizeof(char16_t)));
    next = static_cast<char16_t*>(std::malloc(kLineCapacity * sizeof(char16_t)));
    return current != nullptr && next != nullptr;
  }
  void Swap() { std::swap(current, next); }
  ~WorkBuffers() {
    std::free(current);
    std::free(next);
  }
};

// The default rules: a line that begins with '!' is one reference and its :s modifiers.
// 0 after writing the expansion, kDefaultFailed when the rules cannot expand the line (nothing
// is touched then).
int ExpandDefault(KeyEvent* event, ExpansionMode mode, bool keyNameMode) {
  const char16_t* line = event->line;

  char16_t* entry;
  const char16_t* rest;
  if (line[1] == u'!') {
    entry = NewestEntry();
    rest = line + 2;
  } else {
    Reference reference = ResolveReference(line + 1);
    if (!reference.isReference) return kDefaultFailed;
    entry = reference.entry;
    rest = reference.rest;
  }
  // An entry longer than the line could only be run cut short.
  if (entry == nullptr || text::BoundedLength(entry, kLineCapacity) > kMaxLineLength) {
    return kDefaultFailed;
  }
  if (rest[0] == 0) return FinishExpansion(event, mode, keyNameMode, entry);

  // A malformed rest fails before anything is taken from the heap.
  SubstitutionModifier modifier;
  for (const char16_t* r = rest; *r != 0;) {
    r = ParseModifier(r, &modifier);
    if (r == nullptr) return kDefaultFailed;
  }

  // The modifiers apply in turn, each to the result of the one before, in two work buffers;
  // the typed line is rewritten only once every one of them has found its old text.
  WorkBuffers work;
  if (!work.Obtain()) return kDefaultFailed;
  text::Copy(work.current, kLineCapacity, entry);
  for (const char16_t* r = rest; *r != 0; work.Swap()) {
    r = ParseModifier(r, &modifier);
    if (SubstituteFirst(work.current, work.next, modifier.oldText, modifier.newText) != 1) {
      return kDefaultFailed;
    }
  }
  return FinishExpansion(event, mode, keyNameMode, work.current);
}

}  // namespace

char16_t* NewestEntry() {
  char16_t* entry = HistoryStart();
  if (entry == nullptr) return nullptr;
  for (;;) {
    char16_t* next = NextHistoryEntry(entry);
    if (next == nullptr || next == entry) return entry;
    entry = next;
  }
}

int HandleKey(KeyEvent* event) {
  // Every keystroke of the command line arrives here and must cost next to nothing. A line
  // that does not begin with a bang can be expanded only in bash mode: it goes on only for a
  // key that may be Enter or Shift-Enter and a line that may hold a reference, and only then is
  // the shell asked for the mode.
  if (event == nullptr || event->line == nullptr) return 0;
  if (event->line[0] != u'!' &&
      !(MayBeExpansionKey(event) && MayHoldBashReference(event->line) && BashModeOn())) {
    return 0;
  }

  const bool keyNameMode =
      HostMajorVersion >= kKeyNameVersion && event->keyName != nullptr && event->keyName[0] != 0;

  int modifiers = 0;
  if (Held(win::kVkShift)) modifiers += 1;
  if (Held(win::kVkControl)) modifiers += 2;
  if (Held(win::kVkMenu)) modifiers += 4;

  int code = event->key;
  if (modifiers == 3) code |= kShiftCtrlBit;
  if (modifiers == 6) code |= kCtrlAltBit;

  if (keyNameMode) {
    if (text::EqualsIgnoreAsciiCase(event->keyName, u"Enter")) {
      ExpansionDriver(event, ExecuteAfterExpand, true);
    } else if (text::EqualsIgnoreAsciiCase(event->keyName, u"Shift-Enter")) {
      ExpansionDriver(event, ExpandOnly, true);
    }
    return 0;
  }

  if (code == kKeyEnter && modifiers == 0) {
    ExpansionDriver(event, ExecuteAfterExpand, false);
  } else if ((code == kKeyEnter && modifiers == 1) || code == kKeyShiftEnter) {
    ExpansionDriver(event, ExpandOnly, false);
  }
  return 0;
}

int ExpansionDriver(KeyEvent* event, ExpansionMode mode, bool keyNameMode) {
  // The default rules first: a line they expand expands the same way in bash mode, which
  // only takes the lines they fail or leave alone.
  if (event->line[0] == u'!') {
    const int outcome = ExpandDefault(event, mode, keyNameMode);
    if (outcome != kDefaultFailed) return 0;
    if (!BashModeOn()) return FailExpansion(event, keyNameMode);
  }

  char16_t* result = nullptr;
  bool printOnly = false;
  switch (ExpandBashLine(event->line, &result, &printOnly)) {
    case BashNoReference:
      // A line the default rules failed stays failed; any other runs as typed, silently.
      if (event->line[0] == u'!') return FailExpansion(event, keyNameMode);
      return 0;
    case BashFailed:
      return FailExpansion(event, keyNameMode);
    case BashExpanded:
      break;
  }
  FinishExpansion(event, printOnly ? ExpandOnly : mode, keyNameMode, result);
  std::free(result);
  return 0;
}
