// The keystroke handler: decides whether a key is Enter or Shift-Enter and, for a line that
// begins with a bang, replaces the line by the history entry it refers to.
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

bool Held(int virtualKey) {
  return win::GetAsyncKeyState(virtualKey) < 0;
}

// Swallows the key: the shell neither executes the line nor sees the key's name.
void SwallowKey(KeyEvent* event, bool keyNameMode) {
  event->key = 0;
  if (keyNameMode) event->keyName[0] = 0;
}

constexpr size_t kMaxLineLength = kLineCapacity - 1;

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
  // Every keystroke of the command line arrives here: anything but a line that begins with a
  // bang must return before reading more.
  if (event == nullptr || event->line == nullptr || event->line[0] != u'!') return 0;

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
  char16_t* line = event->line;
  if (line[0] != u'!') return 0;

  char16_t* entry;
  const char16_t* rest;
  if (line[1] == u'!') {
    entry = NewestEntry();
    rest = line + 2;
  } else {
    Reference reference = ResolveReference(line + 1);
    if (!reference.isReference) return FailExpansion(event, keyNameMode);
    entry = reference.entry;
    rest = reference.rest;
  }
  // An entry longer than the line could only be run cut short.
  if (entry == nullptr || text::BoundedLength(entry, kLineCapacity) > kMaxLineLength) {
    return FailExpansion(event, keyNameMode);
  }
  if (rest[0] == 0) return FinishExpansion(event, mode, keyNameMode, entry);

  // A malformed rest fails before anything is taken from the heap.
  SubstitutionModifier modifier;
  for (const char16_t* r = rest; *r != 0;) {
    r = ParseModifier(r, &modifier);
    if (r == nullptr) return FailExpansion(event, keyNameMode);
  }

  // The modifiers apply in turn, each to the result of the one before, in two work buffers;
  // the typed line is rewritten only once every one of them has found its old text.
  WorkBuffers work;
  if (!work.Obtain()) return FailExpansion(event, keyNameMode);
  text::Copy(work.current, kLineCapacity, entry);
  for (const char16_t* r = rest; *r != 0; work.Swap()) {
    r = ParseModifier(r, &modifier);
    if (SubstituteFirst(work.current, work.next, modifier.oldText, modifier.newText) != 1) {
      return FailExpansion(event, keyNameMode);
    }
  }
  return FinishExpansion(event, mode, keyNameMode, work.current);
}
