// The shared tables' toolkit: showing text, running the plugin as the shell does through the
// host, the check of a line's expansion on Enter, and the settings as they are shown and kept.
#include "cases.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "platform/platform.h"

// Under AddressSanitizer the units past the line are poisoned while the plugin runs, so that a
// read past the line traps; elsewhere (Wine) the canary shows a write.
#if __has_include(<sanitizer/asan_interface.h>)
#include <sanitizer/asan_interface.h>
#else
#define ASAN_POISON_MEMORY_REGION(address, size) ((void)(address), (void)(size))
#define ASAN_UNPOISON_MEMORY_REGION(address, size) ((void)(address), (void)(size))
#endif

std::string Show(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) {
    if (c == u'\r') {
      out += "\\r";
    } else if (c == u'\n') {
      out += "\\n";
    } else if (c == u'\t') {
      out += "\\t";
    } else if (c < 0x20 || c >= 0x7F) {
      char buffer[12];
      snprintf(buffer, sizeof buffer, "\\u%04X", static_cast<unsigned>(c));
      out += buffer;
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out;
}

std::string ShowBrief(const std::u16string& text) {
  std::string out;
  size_t run = 0;  // the same unit repeated
  for (size_t i = 0; i < text.size(); i += run) {
    run = 1;
    while (i + run < text.size() && text[i + run] == text[i]) ++run;
    const std::string unit = Show(text.substr(i, 1));
    if (run > 8) {
      out += unit + "{x" + std::to_string(run) + "}";
    } else {
      for (size_t k = 0; k < run; ++k) out += unit;
    }
  }
  return out;
}

::testing::AssertionResult SameText(const char* actualExpression, const char* expectedExpression,
                                    const std::u16string& actual, const std::u16string& expected) {
  if (actual == expected) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << actualExpression << " is \"" << ShowBrief(actual)
                                       << "\" (" << actual.size() << " units)\n"
                                       << expectedExpression << " is \"" << ShowBrief(expected)
                                       << "\" (" << expected.size() << " units)";
}

namespace host {

int StartPlugin() {
  GetPluginInfo();
  return InitializePlugin();
}

void StartOn(const std::u16string& version) {
  SetVariable(u"_4ver", version);
  StartPlugin();
  TakeStdout();
}

CommandResult Quorv(const std::u16string& arguments) {
  std::vector<char16_t> writable(arguments.begin(), arguments.end());
  writable.push_back(0);
  CommandResult r;
  r.result = quorv(writable.data());
  r.out = TakeStdout();
  r.err = TakeStderr();
  return r;
}

void Set(const std::u16string& options) {
  const CommandResult r = Quorv(u"/Q " + options);
  EXPECT_EQ(r.result, 0) << "quorv " << ShowBrief(options);
  EXPECT_TEXT(r.err, u"") << "quorv " << ShowBrief(options);
}

KeyResult Press(const std::u16string& line, int keyCode, const std::u16string& keyName,
                long cursor) {
  constexpr char16_t kCanary = 0xA5A5;
  constexpr size_t kCanaryUnits = 64;
  std::vector<char16_t> buffer(kLineCapacity + kCanaryUnits, kCanary);
  const size_t length = std::min(line.size(), kLineCapacity);
  std::fill(buffer.begin(), buffer.begin() + kLineCapacity, 0);
  std::copy(line.begin(), line.begin() + length, buffer.begin());
  std::vector<char16_t> name(keyName.begin(), keyName.end());
  name.resize(64, 0);

  KeyEvent event;
  event.key = keyCode;
  event.startRow = 0x5A01;  // the shell's own fields: the plugin must leave them alone
  event.startColumn = 0x5A02;
  event.currentRow = 0x5A03;
  event.currentColumn = 0x5A04;
  event.line = buffer.data();
  const long end = static_cast<long>(length);
  event.cursor = buffer.data() + (cursor < 0 ? end : std::min(cursor, end));
  event.redraw = 0;
  event.keyName = name.data();
  char16_t* const past = buffer.data() + kLineCapacity;
  ASAN_POISON_MEMORY_REGION(past, kCanaryUnits * sizeof(char16_t));
  EXPECT_EQ(key(&event), 0);
  ASAN_UNPOISON_MEMORY_REGION(past, kCanaryUnits * sizeof(char16_t));

  KeyResult r;
  r.line =
      std::u16string(buffer.data(), std::find(buffer.data(), past, char16_t(0)) - buffer.data());
  r.key = event.key;
  r.redraw = event.redraw;
  r.cursor = static_cast<long>(event.cursor - buffer.data());
  r.keyName = std::u16string(name.data());
  r.shellFieldsKept = event.startRow == 0x5A01 && event.startColumn == 0x5A02 &&
                      event.currentRow == 0x5A03 && event.currentColumn == 0x5A04 &&
                      event.line == buffer.data() && event.keyName == name.data();
  r.bufferKept = std::all_of(past, past + kCanaryUnits, [](char16_t c) { return c == kCanary; });
  return r;
}

}  // namespace host

namespace cases {

const std::vector<std::u16string> kOneToFive = {u"one", u"two", u"three", u"four", u"five"};

const std::u16string kFails;

void CheckEnter(const std::vector<Expansion>& rows) {
  for (const Expansion& row : rows) {
    SCOPED_TRACE(ShowBrief(row.line));
    const int honks = host::HonkCount();
    const int clears = host::ClearEditLineCount();
    const host::KeyResult r = host::Press(row.line);
    EXPECT_EQ(r.key, kKeyEnter);
    EXPECT_TRUE(r.shellFieldsKept);
    EXPECT_TRUE(r.bufferKept);
    const bool made = row.made != kFails;
    const std::u16string& expected = made ? row.made : row.line;
    EXPECT_TEXT(r.line, expected);
    EXPECT_EQ(r.redraw, made ? 1 : 0);
    EXPECT_EQ(r.cursor, static_cast<long>(r.line.size()));
    EXPECT_EQ(host::ClearEditLineCount(), clears + (made ? 1 : 0));
    EXPECT_EQ(host::HonkCount(), honks + (made ? 0 : 1));
  }
}

}  // namespace cases

// ==== The settings and where they are kept ====

namespace cases {

const std::u16string kPrefix = u"Quorvin plugin: ";

const char16_t* const kValueNames[5] = {u"Error Beep Mode", u"Case Insensitive",
                                        u"Allow Whitespace", u"Execute on Failure",
                                        u"Counting Base"};
const char16_t kFileValueName[] = u"Error Beep Filename";

uint32_t ValueOf(const expected::Settings& s, size_t i) {
  const uint32_t values[] = {s.beep, s.caseInsensitive, s.allowWhitespace, s.executeOnFailure,
                             s.countingBase};
  return values[i];
}

std::u16string Shown() {
  const host::CommandResult r = host::Quorv(u"");
  EXPECT_EQ(r.result, 0);
  EXPECT_TEXT(r.err, u"");
  return r.out;
}

void CheckSteps(const std::vector<Step>& steps) {
  for (const Step& step : steps) {
    SCOPED_TRACE(ShowBrief(step.arguments));
    const host::CommandResult r = host::Quorv(step.arguments);
    EXPECT_EQ(r.result, 0);
    EXPECT_TEXT(r.out, step.out);
    EXPECT_TEXT(r.err, u"");
  }
}

void Restart() {
  EXPECT_TRUE(host::ReloadPlugin());
  host::StartPlugin();
  host::TakeStdout();
}

std::vector<uint8_t> Dword(uint32_t value) {
  return {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
}

std::vector<uint8_t> Text(const std::u16string& text) {
  std::vector<uint8_t> bytes;
  for (char16_t c : text + u'\0') {
    bytes.push_back(uint8_t(c));
    bytes.push_back(uint8_t(c >> 8));
  }
  return bytes;
}

void PutSettings(bool machine, const expected::Settings& s) {
  for (size_t i = 0; i < std::size(kValueNames); ++i) {
    host::PutValue(machine, kValueNames[i], win::kRegDword, Dword(ValueOf(s, i)));
  }
}

std::u16string SystemText(uint32_t status) {
  std::u16string text = host::SystemMessage(status);
  if (text.empty()) {
    char number[16];
    snprintf(number, sizeof number, "Error %d", static_cast<int>(status));
    return std::u16string(number, number + strlen(number));
  }
  while (!text.empty() && (text.back() == u' ' || text.back() == u'\r' || text.back() == u'\n' ||
                           text.back() == u'\t')) {
    text.pop_back();
  }
  return text;
}

std::u16string Path(const std::u16string& dir, const std::u16string& name) {
  return dir + host::kPathSeparator + name;
}

std::u16string MakeFileOfLength(size_t length, char16_t fill) {
  constexpr size_t kComponent = 100;   // units per directory, separator included
  constexpr size_t kLastAtLeast = 10;  // separator, a few units of name and ".wav"
  std::u16string relative;
  size_t remaining = length - host::TempDir().size();
  while (remaining > kComponent + kLastAtLeast) {
    relative += std::u16string(kComponent - 1, fill);
    host::MakeDir(relative);
    relative += host::kPathSeparator;
    remaining -= kComponent;
  }
  relative += std::u16string(remaining - 1 - 4, fill) + u".wav";
  return host::MakeFile(relative);
}

void PutSpoils(bool machine, const std::vector<Spoil>& spoils) {
  for (const Spoil& spoil : spoils) {
    if (spoil.type == win::kRegNone) {
      host::RemoveValue(machine, spoil.name);
    } else {
      host::PutValue(machine, spoil.name, spoil.type, spoil.data);
    }
  }
}

}  // namespace cases
