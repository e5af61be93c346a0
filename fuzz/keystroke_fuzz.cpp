// Fuzzes the exported keystroke handler `key` with any settings, history, line, key code and
// key name, in the default mode and in bash mode, with Tab and Space expanding in place or not,
// and checks after every call what the shell relies on: the line stays terminated inside its
// buffer, the record changes only where the handler may change it, a failure leaves the typed
// line byte for byte, an expansion in place keeps the text after the cursor and never beeps, and
// in the default mode a successful expansion without modifiers puts a history entry on the line.
// Then the promises about every input:
//  - no line holds the shell: the work the engine's loops count (text/work.h) stays within a
//    small multiple of what its budget was charged, whatever the line;
//  - what you see is what runs: Tab or Space changes the line only to what Enter gives for the
//    text before the cursor, with the text after it kept (so a cursor inside a character or a
//    reference that goes on after it changes nothing), and Enter on the whole line, unless it
//    fails, reads the same there: its line begins with what the key put before the cursor, and
//    in bash mode, where a blank may follow a reference, so does Enter on the line with the
//    blank Space types (a blank that would belong to the reference keeps Space from expanding);
//    verify shows the line Enter runs, and keeps it for a second look only when it is not the
//    line as typed; a :p shows the line the reference gives without it.
//
// Input layout (see fuzz_input.h), from the end:
//   the settings (fuzz::SettingsFrom)
//   whether the history ends by returning its own argument instead of null
//   whether Shift, Ctrl and Alt are held, one value each
//   the shell's major version: 0, 8, 23, 24, 28, 100, 7 or 101
//   the key code: 13, 0x80D, 9 (Tab), 32 (Space), 0, '!', 0x1000D, or a 32-bit code that
//     follows (four bytes)
//   whether the shell variable QUORVIN_KEYS is "tab space verify"
//   the key name: none, "", "Enter", "Shift-Enter", "Tab", "SPACE", "Enter " or the first text
//   where the cursor stands before the call, 0-127 (clamped to the line)
//   whether bash mode is on (the shell variable QUORVIN_EXPAND is "bash")
//   how many times the history's entries are repeated, 1-64 (400 entries at most)
// and from the front, texts of fuzz::Text: the key name when it is a text, the line (up to 65535
// units), then the history entries oldest first, to the end of the input.
#include <cstring>
#include <iterator>
#include <memory>

#include "expansion/events.h"
#include "fuzz_input.h"
#include "keys/keys.h"
#include "keys/which_key.h"
#include "platform/standin_platform.h"
#include "plugin/plugin.h"
#include "shell/standin_shell.h"
#include "text/text.h"
#include "text/work.h"

namespace {

constexpr size_t kMaxLineUnits = kLineCapacity - 1;
constexpr size_t kMaxEntryUnits = 70000;  // longer than the line: the copy must be bounded
constexpr size_t kMaxEntries = 400;
constexpr size_t kMaxNameUnits = 64;
constexpr char16_t kFiller = 0xA5A5;  // fills the buffer past the terminator, never zero

constexpr int kVersions[] = {0, 8, 23, 24, 28, 100, 7, 101};
constexpr int kKeyCodes[] = {kKeyEnter, kKeyShiftEnter, kKeyTab, kKeySpace, 0, '!', 0x1000D};
constexpr const char16_t* kKeyNames[] = {nullptr, u"",      u"Enter", u"Shift-Enter",
                                         u"Tab",  u"SPACE", u"Enter "};

// The shell's edit-line buffer: exactly kLineCapacity units on the heap, so that any access
// past it is caught by AddressSanitizer. Allocated once; refilled for every input.
char16_t* LineBuffer() {
  static std::unique_ptr<char16_t[]> buffer(new char16_t[kLineCapacity]);
  return buffer.get();
}

// The index of the first zero unit of the buffer, or kLineCapacity when there is none.
size_t TerminatorIndex(const char16_t* line) {
  for (size_t i = 0; i < kLineCapacity; ++i) {
    if (line[i] == 0) return i;
  }
  return kLineCapacity;
}

bool ContainsModifier(const std::u16string& line) {
  return line.find(u":s") != line.npos;
}

// `line` is one of the entries, whole: an entry longer than the line is never run cut short.
bool IsHistoryEntry(const std::u16string& line, const std::vector<std::u16string>& entries) {
  for (const std::u16string& e : entries) {
    if (line == e) return true;
  }
  return false;
}

// What Enter (no modifier key held, no key name) makes of `line` on a fresh buffer, with
// QUORVIN_KEYS as `keys` (null: unset): the line afterwards, whether it was rewritten and whether
// the key was swallowed.
struct Outcome {
  std::u16string line;
  bool rewritten;
  bool swallowed;
};

Outcome PressEnter(const std::u16string& line, const char16_t* keys) {
  if (keys == nullptr) {
    standin::RemoveVariable(u"QUORVIN_KEYS");
  } else {
    standin::SetVariable(u"QUORVIN_KEYS", keys);
  }
  static std::unique_ptr<char16_t[]> buffer(new char16_t[kLineCapacity]);
  std::memcpy(buffer.get(), line.data(), line.size() * sizeof(char16_t));
  buffer[line.size()] = 0;
  KeyEvent event = {};
  event.key = kKeyEnter;
  event.line = buffer.get();
  event.cursor = buffer.get() + line.size();
  key(&event);
  return {std::u16string(buffer.get(), TerminatorIndex(buffer.get())), event.redraw != 0,
          event.key == 0};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::ResetWorld();
  FuzzedDataProvider in(data, size);

  PluginSettings = fuzz::SettingsFrom(&in);
  const bool endBySelf = in.ConsumeBool();
  const bool shift = in.ConsumeBool();
  const bool ctrl = in.ConsumeBool();
  const bool alt = in.ConsumeBool();
  HostMajorVersion = in.PickValueInArray(kVersions);
  const size_t keyChoice = in.ConsumeIntegralInRange<size_t>(0, std::size(kKeyCodes));
  const int keyCode = keyChoice < std::size(kKeyCodes)
                          ? kKeyCodes[keyChoice]
                          : static_cast<int>(in.ConsumeIntegral<uint32_t>());
  const bool inPlaceKeys = in.ConsumeBool();
  const size_t nameChoice = in.ConsumeIntegralInRange<size_t>(0, std::size(kKeyNames));
  const size_t cursorChoice = in.ConsumeIntegralInRange<size_t>(0, 127);
  const bool bashMode = in.ConsumeBool();
  const size_t repeats = in.ConsumeIntegralInRange<size_t>(1, 64);

  standin::SetEndBySelf(endBySelf);
  standin::SetKeyHeld(win::kVkShift, shift);
  standin::SetKeyHeld(win::kVkControl, ctrl);
  standin::SetKeyHeld(win::kVkMenu, alt);
  if (bashMode) standin::SetVariable(u"QUORVIN_EXPAND", u"bash");
  if (inPlaceKeys) standin::SetVariable(u"QUORVIN_KEYS", u"tab space verify");

  std::u16string name;
  bool hasName = true;
  if (nameChoice < std::size(kKeyNames)) {
    hasName = kKeyNames[nameChoice] != nullptr;
    if (hasName) name = kKeyNames[nameChoice];
  } else {
    name = fuzz::Text(&in, kMaxNameUnits);
  }

  const std::u16string line = fuzz::Text(&in, kMaxLineUnits);
  std::vector<std::u16string> entries;
  while (in.remaining_bytes() != 0) entries.push_back(fuzz::Text(&in, kMaxEntryUnits));
  std::vector<std::u16string> history;
  for (size_t r = 0; r < repeats && history.size() < kMaxEntries; ++r) {
    for (size_t i = 0; i < entries.size() && history.size() < kMaxEntries; ++i) {
      history.push_back(entries[i]);
    }
  }
  standin::SetHistory(history);
  if (fuzz::Showing()) {
    fuzz::Show("end-by-self", endBySelf);
    fuzz::Show("shift", shift);
    fuzz::Show("ctrl", ctrl);
    fuzz::Show("alt", alt);
    fuzz::Show("version", HostMajorVersion);
    fuzz::Show("key-code", keyCode);
    fuzz::Show("in-place-keys", inPlaceKeys);
    if (hasName) fuzz::Show("name", name);
    fuzz::Show("cursor", cursorChoice);
    fuzz::Show("bash", bashMode);
    fuzz::Show("repeats", repeats);
    fuzz::Show("line", line);
    for (const std::u16string& e : entries) fuzz::Show("entry", e);
  }

  // Past the terminator the buffer holds filler, never zero, so a line left without its
  // terminator is seen. Only the units the last input wrote are filled again.
  static size_t dirty = kLineCapacity;
  char16_t* buffer = LineBuffer();
  std::memcpy(buffer, line.data(), line.size() * sizeof(char16_t));
  buffer[line.size()] = 0;
  for (size_t i = line.size() + 1; i < dirty; ++i) buffer[i] = kFiller;
  dirty = line.size() + 1;

  // The key name lives in a buffer of exactly its size, so an over-read is caught.
  std::unique_ptr<char16_t[]> nameBuffer;
  if (hasName) {
    nameBuffer.reset(new char16_t[name.size() + 1]);
    std::memcpy(nameBuffer.get(), name.data(), name.size() * sizeof(char16_t));
    nameBuffer[name.size()] = 0;
  }

  KeyEvent event;
  event.key = keyCode;
  event.startRow = 3;
  event.startColumn = 5;
  event.currentRow = 7;
  event.currentColumn = 11;
  event.line = buffer;
  event.cursor = buffer + (cursorChoice < line.size() ? cursorChoice : line.size());
  event.redraw = 0;
  event.keyName = nameBuffer.get();
  const KeyEvent before = event;
  const SettingsRecord settingsBefore = PluginSettings;
  const int versionBefore = HostMajorVersion;

  // The key as the handler tells it, asked before the handler may empty its name: Tab or Space
  // expand in place also where the new line ends at the cursor.
  const Key pressed = WhichKey(&event);
  const bool inPlaceKey = pressed == kTabKey || pressed == kSpaceKey;

  work::done = work::charged = 0;
  const int result = key(&event);
  // Work the budget does not count is bounded by the line: reading it, the shell's variables,
  // copying the new line. Everything else is charged as it is done.
  FUZZ_CHECK(work::done <= 4 * work::charged + 16 * kLineCapacity,
             "the work done stays within a small multiple of the units charged");

  FUZZ_CHECK(result == 0, "key returns 0");
  const size_t end = TerminatorIndex(buffer);
  FUZZ_CHECK(end < kLineCapacity, "the line is terminated within its buffer");
  if (end + 1 > dirty) dirty = end + 1;
  FUZZ_CHECK(event.key == before.key || event.key == 0, "the key is unchanged or 0");
  FUZZ_CHECK(event.startRow == before.startRow && event.startColumn == before.startColumn &&
                 event.currentRow == before.currentRow &&
                 event.currentColumn == before.currentColumn,
             "the shell's own fields are untouched");
  FUZZ_CHECK(event.line == before.line && event.keyName == before.keyName,
             "the line and key-name pointers are untouched");
  FUZZ_CHECK(std::memcmp(&PluginSettings, &settingsBefore, sizeof settingsBefore) == 0,
             "a keystroke changes no setting");
  FUZZ_CHECK(HostMajorVersion == versionBefore, "a keystroke leaves the shell version");

  const std::u16string after(buffer, end);
  if (hasName) {
    std::u16string emptiedName = name;
    if (!emptiedName.empty()) emptiedName[0] = 0;
    const std::u16string nameAfter(nameBuffer.get(), name.size() + 1);
    const bool unchanged = nameAfter == name + u'\0';
    const bool emptied = nameAfter == emptiedName + u'\0';
    FUZZ_CHECK(unchanged || emptied, "the key name is unchanged or emptied");
    FUZZ_CHECK(unchanged || event.key == 0, "a key name is emptied only with the key");
  }

  const int honks = standin::HonkCount();
  const size_t sounds = standin::TakeSoundRequests().size();
  FUZZ_CHECK(honks + sounds <= 1, "at most one beep per keystroke");
  if (PluginSettings.errorBeepMode == BeepNone)
    FUZZ_CHECK(honks + sounds == 0, "mode None is silent");
  if (honks + sounds > 0) {
    FUZZ_CHECK(event.redraw == 0 && event.cursor == before.cursor && after == line &&
                   standin::ClearEditLineCount() == 0,
               "after a failure the line, cursor and redraw flag are as typed");
  }
  if (event.redraw == 0) {
    // A failed expansion (or none) leaves the typed line byte for byte, terminator included.
    FUZZ_CHECK(event.cursor == before.cursor, "without a redraw the cursor stays");
    FUZZ_CHECK(after == line, "without a redraw the line stays as typed");
    FUZZ_CHECK(standin::ClearEditLineCount() == 0, "without a redraw the line is not cleared");
    const bool failed = event.key != before.key;
    if (failed) {
      FUZZ_CHECK(PluginSettings.executeOnFailure == 0 || inPlaceKeys,
                 "a failure swallows the key only by setting, or with verify asked for");
      FUZZ_CHECK(honks + sounds == (PluginSettings.errorBeepMode == BeepNone ? 0u : 1u),
                 "a failure sounds one beep unless the mode is None");
    }
  } else {
    FUZZ_CHECK(event.redraw == 1, "redraw is set to 1");
    FUZZ_CHECK(line[0] == u'!' || (bashMode && (line[0] == u'^' || line.find(u'!') != line.npos)),
               "only a line that begins with a bang (or, in bash mode, holds one or begins with "
               "'^') is expanded");
    FUZZ_CHECK(honks == 0 && sounds == 0, "a successful expansion makes no sound");
    FUZZ_CHECK(standin::ClearEditLineCount() == 1, "the line is cleared once before rewriting");
    FUZZ_CHECK(event.cursor >= buffer && event.cursor <= buffer + end,
               "after a redraw the cursor is in the line");
    // Enter and Shift-Enter expand the whole line and leave the cursor at its end; Tab and
    // Space expand the text before the cursor and keep the rest after the new cursor.
    const size_t typedCursor = static_cast<size_t>(before.cursor - buffer);
    const size_t made = static_cast<size_t>(event.cursor - buffer);
    const bool inPlace = made != end;
    const size_t expanded = inPlace ? typedCursor : line.size();
    if (inPlace) {
      // Which key it was the name decides on shells that name keys, whatever the code.
      FUZZ_CHECK(inPlaceKeys, "only Tab and Space expand in place, when QUORVIN_KEYS asks");
      FUZZ_CHECK(after.substr(made) == line.substr(typedCursor),
                 "the text after the cursor is kept");
    }
    if (line == u"!!" && !history.empty() && typedCursor == line.size()) {
      FUZZ_CHECK(after == history.back(), "!! gives the newest entry");
    }
    if (!bashMode && !ContainsModifier(line.substr(0, expanded))) {
      FUZZ_CHECK(IsHistoryEntry(after.substr(0, made), history),
                 "without a modifier the expansion is an entry");
    }
  }
  const bool bashCandidate = bashMode && (line[0] == u'^' || line.find(u'!') != line.npos);
  if ((line.empty() || line[0] != u'!') && !bashCandidate) {
    FUZZ_CHECK(event.key == before.key && event.redraw == 0 && honks == 0 && sounds == 0,
               "a line without a leading bang is left alone");
  }

  // What you see is what runs, asked of the same handler on fresh buffers, with no modifier key
  // held and no key name (the key code decides).
  if (line.empty() || line.size() > 4096) return 0;
  standin::SetKeyHeld(win::kVkShift, false);
  standin::SetKeyHeld(win::kVkControl, false);
  standin::SetKeyHeld(win::kVkMenu, false);
  const size_t typed = static_cast<size_t>(before.cursor - buffer);
  const size_t madeAt = static_cast<size_t>(event.cursor - buffer);
  if (event.redraw == 1 && inPlaceKey) {
    const Outcome enter = PressEnter(line.substr(0, typed), u"verify");
    FUZZ_CHECK(enter.rewritten && after == enter.line + line.substr(typed),
               "Tab or Space gives what Enter gives for the text before the cursor");
    FUZZ_CHECK(!text::SplitsPair(line.c_str(), typed),
               "a cursor inside a character changes nothing");
    // Where the two rules read the first event of a line that begins with '!' to different ends
    // ("! 3", whose blank bash's rules end the reference at; "!ec$", whose '$' is theirs) and
    // the text before the cursor holds the default rules' whole event, the key reads that text
    // as they do and Enter on more of the line may read it by bash's. With verify a failure
    // swallows the key and leaves the line; a line with no reference runs as typed.
    const std::u16string made = after.substr(0, madeAt);
    const char16_t* event1 = line.c_str() + 1;
    const Event asDefault = ReadEvent(kDefaultDialect, event1);
    const bool eventsDiffer = bashMode && line[0] == u'!' &&
                              asDefault.end <= line.c_str() + typed &&
                              asDefault.end != ReadEvent(kBashDialect, event1).end;
    const Outcome whole = PressEnter(line, u"verify");
    const bool failed = !whole.rewritten && whole.swallowed;
    FUZZ_CHECK(failed || eventsDiffer || whole.line.compare(0, made.size(), made) == 0,
               "Enter on the whole line reads the text before the cursor as the key did");
    if (bashMode && pressed == kSpaceKey && !eventsDiffer) {
      const Outcome blank =
          PressEnter(line.substr(0, typed) + u" " + line.substr(typed), u"verify");
      FUZZ_CHECK((!blank.rewritten && blank.swallowed) ||
                     blank.line.compare(0, made.size() + 1, made + u" ") == 0,
                 "the blank Space types belongs to no reference it expanded");
    }
  }
  if (inPlaceKeys) {
    const Outcome verified = PressEnter(line, u"verify");
    const Outcome run = PressEnter(line, nullptr);
    FUZZ_CHECK(verified.rewritten == run.rewritten && verified.line == run.line,
               "verify shows the line Enter runs");
    FUZZ_CHECK(
        !(verified.rewritten && verified.swallowed && verified.line == line) || run.swallowed,
        "verify keeps only a line that is not the line as typed, or a :p's");
  }
  if (bashMode && line.back() != u'!') {  // a '!' and the ":p" would make a reference of their own
    const Outcome plain = PressEnter(line, nullptr);
    const Outcome printed = PressEnter(line + u":p", nullptr);
    if (plain.rewritten && !plain.swallowed && printed.rewritten && printed.swallowed) {
      FUZZ_CHECK(printed.line == plain.line, ":p shows the line the reference gives without it");
    }
  }
  return 0;
}
