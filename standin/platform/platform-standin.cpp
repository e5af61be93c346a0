// Stand-ins for the Windows keyboard, sound, file, user-interface and message services, with
// the results the plugin relies on from the real ones.
#include <locale.h>
#include <sys/stat.h>
#include <wctype.h>

#include <cstdarg>
#include <cstdio>
#include <map>
#include <string>

#include "common/format16.h"
#include "common/utf.h"
#include "platform/standin_platform.h"
#include "text/text.h"

namespace standin {

namespace {

// State of the stand-ins in this file; changed by the services and the controls.
struct PlatformState {
  bool held[256] = {};                          // keys held, by virtual key
  int keyQueries[kKeyQueriesKept] = {};         // keys GetAsyncKeyState was asked about, in order
  size_t keyQueryCount = 0;                     // how many of them, up to kKeyQueriesKept
  std::vector<SoundRequest> sounds;             // PlaySoundW requests
  std::vector<MessageBoxCall> boxes;            // MessageBoxW calls
  bool boxEcho = false;                         // print message boxes to standard output
  std::map<uint32_t, std::u16string> messages;  // system messages set by tests
};

PlatformState& State() {
  static PlatformState state;
  return state;
}

// Distinct addresses that stand for the standard handles and the foreground window.
char stdInputTag, stdOutputTag, stdErrorTag, windowTag;

// System message texts for FormatMessageW, as Windows words them (English).
struct SystemMessage {
  uint32_t code;
  const char16_t* text;
};

constexpr SystemMessage kSystemMessages[] = {
    {1, u"Incorrect function.\r\n"},
    {2, u"The system cannot find the file specified.\r\n"},
    {3, u"The system cannot find the path specified.\r\n"},
    {5, u"Access is denied.\r\n"},
    {8, u"Not enough memory resources are available to process this command.\r\n"},
    {87, u"The parameter is incorrect.\r\n"},
    {1009, u"The configuration registry database is corrupt.\r\n"},
    {1392, u"The file or directory is corrupted and unreadable.\r\n"},
};

constexpr size_t kWsprintfLimit = 1024;  // wsprintfW never writes more than this

locale_t Utf8Locale() {
  static locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  return locale;
}

}  // namespace

void SetKeyHeld(int virtualKey, bool held) {
  State().held[virtualKey & 0xFF] = held;
}

void ReleaseAllKeys() {
  for (bool& h : State().held) h = false;
}

std::vector<int> TakeKeyQueries() {
  PlatformState& s = State();
  std::vector<int> queries(s.keyQueries, s.keyQueries + s.keyQueryCount);
  s.keyQueryCount = 0;
  return queries;
}

std::vector<SoundRequest> TakeSoundRequests() {
  return std::move(State().sounds);
}
std::vector<MessageBoxCall> TakeMessageBoxes() {
  return std::move(State().boxes);
}
void SetMessageBoxEcho(bool echo) {
  State().boxEcho = echo;
}
void* ForegroundWindow() {
  return &windowTag;
}

void SetSystemMessage(uint32_t code, const std::u16string& text) {
  State().messages[code] = text;
}
void ResetSystemMessages() {
  State().messages.clear();
}

}  // namespace standin

namespace win {

int16_t GetAsyncKeyState(int virtualKey) {
  // Kept in place, never in memory allocated here: benchmarks and heap counts press keys too.
  standin::PlatformState& s = standin::State();
  if (s.keyQueryCount < standin::kKeyQueriesKept) s.keyQueries[s.keyQueryCount++] = virtualKey;
  return s.held[virtualKey & 0xFF] ? static_cast<int16_t>(0x8000) : 0;
}

int PlaySoundW(const char16_t* sound, void* module, uint32_t flags) {
  standin::SoundRequest request{0, u"", flags, module};
  const auto value = reinterpret_cast<uintptr_t>(sound);
  if ((flags & kSndAliasId) == kSndAliasId || value < 0x10000) {
    request.aliasId = static_cast<uint16_t>(value);
  } else if (sound != nullptr) {
    request.file = sound;
  }
  standin::State().sounds.push_back(request);
  return 1;
}

uint32_t GetFileAttributesW(const char16_t* path) {
  if (path == nullptr || path[0] == 0) return kInvalidFileAttributes;
  struct stat info;
  if (stat(standin::ToUtf8(path).c_str(), &info) != 0) return kInvalidFileAttributes;
  if (S_ISDIR(info.st_mode)) return kFileAttributeDirectory;
  if (S_ISCHR(info.st_mode)) return kFileAttributeDevice;
  return 0x20;  // FILE_ATTRIBUTE_ARCHIVE, as Windows reports an ordinary written file
}

void* GetStdHandle(int32_t which) {
  switch (which) {
    case -10:
      return &standin::stdInputTag;
    case kStdOutputHandle:
      return &standin::stdOutputTag;
    case kStdErrorHandle:
      return &standin::stdErrorTag;
    default:
      return reinterpret_cast<void*>(static_cast<intptr_t>(-1));  // INVALID_HANDLE_VALUE
  }
}

void* GetForegroundWindow() {
  return &standin::windowTag;
}

int MessageBoxW(void* owner, const char16_t* text, const char16_t* caption, uint32_t type) {
  standin::MessageBoxCall call{owner, text ? text : u"", caption ? caption : u"", type};
  if (standin::State().boxEcho) {
    std::string shown = standin::ToUtf8(call.caption) + "\n\n" + standin::ToUtf8(call.text);
    for (char& c : shown) {
      if (c == '\r') c = '\n';
    }
    printf("%s\n", shown.c_str());
    fflush(stdout);
  }
  standin::State().boxes.push_back(std::move(call));
  return 1;  // IDOK
}

void CharUpperW(char16_t* text) {
  locale_t locale = standin::Utf8Locale();
  for (char16_t* p = text; *p != 0; ++p) {
    if (*p >= u'a' && *p <= u'z') {
      *p = static_cast<char16_t>(*p - (u'a' - u'A'));
    } else if (*p >= 0x80 && locale != static_cast<locale_t>(0)) {
      // Windows upper-cases a unit only into one whose lower case is that unit again: the
      // micro sign, dotless i, long s, final sigma, the title-case digraphs and the Greek and
      // Cyrillic variant letters stay as they are. Checked against Wine for every unit of the
      // BMP: these 27 are all the units where glibc alone maps.
      const wint_t upper = towupper_l(*p, locale);
      if (upper < 0x10000 && towlower_l(upper, locale) == static_cast<wint_t>(*p)) {
        *p = static_cast<char16_t>(upper);  // one unit stays one unit
      }
    }
  }
}

int wsprintfW(char16_t* out, const char16_t* format, ...) {
  std::u16string text;
  va_list args;
  va_start(args, format);
  standin::AppendFormatV(text, format, args);
  va_end(args);
  text::Copy(out, standin::kWsprintfLimit, text.c_str());
  return static_cast<int>(text::Length(out));
}

uint32_t FormatMessageW(uint32_t flags, const void* /*source*/, uint32_t messageId,
                        uint32_t /*languageId*/, char16_t* buffer, uint32_t size,
                        void* /*arguments*/) {
  const char16_t* found = nullptr;
  for (const standin::SystemMessage& m : standin::kSystemMessages) {
    if (m.code == messageId) found = m.text;
  }
  auto own = standin::State().messages.find(messageId);
  if (own != standin::State().messages.end()) found = own->second.c_str();
  if (found == nullptr || buffer == nullptr || size == 0) return 0;
  std::u16string message(found);
  if ((flags & 0xFF) != 0) {
    // A width limit drops the ordinary line breaks: Windows turns each into one blank.
    std::u16string joined;
    for (size_t i = 0; i < message.size(); ++i) {
      if (message[i] == u'\r' && i + 1 < message.size() && message[i + 1] == u'\n') {
        joined.push_back(u' ');
        ++i;
      } else {
        joined.push_back(message[i]);
      }
    }
    message = joined;
  }
  if (message.size() + 1 > size) return 0;  // ERROR_INSUFFICIENT_BUFFER
  text::Copy(buffer, size, message.c_str());
  return static_cast<uint32_t>(message.size());
}

}  // namespace win
