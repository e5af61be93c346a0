// Decoding of fuzzer input into texts, settings and registry contents, shared by the targets.
#include "fuzz_input.h"

#include "keys/keys.h"
#include "platform/standin_platform.h"
#include "plugin/plugin.h"
#include "shell/standin_shell.h"
#include "text/text.h"

namespace fuzz {

namespace {

// Units that sit on the edges of the character classes and of UTF-16 itself.
constexpr char16_t kAwkwardUnits[] = {
    0x00A0, 0x00B2, 0x00B3, 0x00B9, 0x00BF, 0x00C0, 0x00D7, 0x00DF, 0x00E9, 0x00F7,
    0x00FF, 0x0100, 0x0130, 0x0131, 0x017F, 0x03A3, 0x03C3, 0x0660, 0x0966, 0x1680,
    0x2000, 0x2028, 0x2029, 0x202F, 0x205F, 0x3000, 0xD800, 0xDBFF, 0xDC00, 0xDFFF,
    0xFB01, 0xFEFF, 0xFF10, 0xFF21, 0xFFFD, 0xFFFE, 0xFFFF, 0x0085, 0x001C, 0x007F,
};
constexpr size_t kAwkwardCount = sizeof kAwkwardUnits / sizeof kAwkwardUnits[0];

constexpr uint8_t kRawUnit = 0xF0;
constexpr uint8_t kRepeat = 0xF1;

// Custom beep files a starting record may hold; none of them exists.
constexpr const char16_t* kCustomFiles[] = {u"", u"/nonexistent/quorvin-fuzz/ding.wav", u"ding.wav",
                                            u"C:\\Windows\\Media\\ding.wav"};

constexpr uint32_t kTypes[] = {
    win::kRegDword,    win::kRegDword,  win::kRegSz,        win::kRegNone,
    win::kRegExpandSz, win::kRegBinary, 11 /* REG_QWORD */, 7 /* REG_MULTI_SZ */};

std::u16string KeyPathOf() {
  return kSettingsKeyPath;
}

// The units that `bytes` stand for, in the encoding of Text.
std::u16string Decode(const std::string& bytes, size_t maxUnits) {
  size_t at = 0;
  const auto next = [&]() -> uint8_t {
    return at < bytes.size() ? static_cast<uint8_t>(bytes[at++]) : 0;
  };
  std::u16string text;
  while (at < bytes.size()) {
    const uint8_t b = next();
    if (b == 0) continue;
    if (b < 0x80) {
      if (text.size() < maxUnits) text.push_back(b);
    } else if (b < kRawUnit) {
      if (text.size() < maxUnits) text.push_back(kAwkwardUnits[(b - 0x80) % kAwkwardCount]);
    } else if (b == kRawUnit) {
      const uint8_t lo = next();
      const char16_t unit = static_cast<char16_t>(lo | (next() << 8));
      if (unit != 0 && text.size() < maxUnits) text.push_back(unit);
    } else if (b == kRepeat) {
      const uint8_t lo = next();
      const size_t times = static_cast<size_t>(lo | (next() << 8));
      const size_t k = next();
      if (k == 0 || k > text.size()) continue;
      const std::u16string tail = text.substr(text.size() - k);
      for (size_t i = 0; i < times && text.size() < maxUnits; ++i) text += tail;
      if (text.size() > maxUnits) text.resize(maxUnits);
    } else if (text.size() < maxUnits) {  // 0xF2-0xFF
      text.push_back(u'!');
    }
  }
  return text;
}

}  // namespace

const char16_t* const kValueNames[6] = {u"Error Beep Mode",  u"Case Insensitive",
                                        u"Allow Whitespace", u"Execute on Failure",
                                        u"Counting Base",    u"Error Beep Filename"};

std::u16string Text(FuzzedDataProvider* in, size_t maxUnits) {
  return Decode(in->ConsumeRandomLengthString(), maxUnits);
}

std::u16string LastText(FuzzedDataProvider* in, size_t maxUnits) {
  return Decode(in->ConsumeRemainingBytesAsString(), maxUnits);
}

SettingsRecord SettingsFrom(FuzzedDataProvider* in) {
  SettingsRecord s = kDefaultSettings;
  s.errorBeepMode = in->ConsumeIntegralInRange<uint32_t>(0, kBeepModeCount - 1);
  s.allowWhitespace = in->ConsumeBool();
  s.executeOnFailure = in->ConsumeBool();
  s.caseInsensitive = in->ConsumeBool();
  s.countingBase = in->ConsumeBool();
  text::Copy(s.customBeepFile, kWaveFileCapacity, in->PickValueInArray(kCustomFiles));
  if (Showing()) {
    Show("beep", s.errorBeepMode);
    Show("whitespace", s.allowWhitespace);
    Show("execute", s.executeOnFailure);
    Show("fold", s.caseInsensitive);
    Show("base", s.countingBase);
    Show("beepfile", s.customBeepFile);
  }
  return s;
}

bool SettingsInRange(const SettingsRecord& s) {
  return s.errorBeepMode < kBeepModeCount && s.allowWhitespace <= 1 && s.executeOnFailure <= 1 &&
         s.caseInsensitive <= 1 && s.countingBase <= 1;
}

bool CustomFileTerminated(const SettingsRecord& s) {
  for (char16_t c : s.customBeepFile) {
    if (c == 0) return true;
  }
  return false;
}

void FillRegistry(FuzzedDataProvider* in, int records) {
  const std::u16string path = KeyPathOf();
  for (int r = 0; r < records && in->remaining_bytes() != 0; ++r) {
    const bool machine = in->ConsumeBool();
    const win::HKEY root = machine ? win::LocalMachine() : win::CurrentUser();
    if (in->ConsumeBool()) {
      standin::CreateRegistryKey(root, path);
      if (Showing()) Show("key-alone.root", machine);
      continue;
    }
    const unsigned nameIndex = in->ConsumeIntegralInRange<unsigned>(0, 7);
    std::u16string name;
    if (nameIndex < 6) {
      name = kValueNames[nameIndex];
    } else if (nameIndex == 6) {
      name = u"COUNTING BASE";  // names compare without regard to case
    } else {
      name = u"Error Beep Mode 2";
    }

    const uint8_t typeByte = in->ConsumeIntegral<uint8_t>();
    const uint32_t type = typeByte < 0x80 ? kTypes[typeByte % 8] : typeByte;
    const uint8_t sizeByte = in->ConsumeIntegral<uint8_t>();
    std::vector<uint8_t> data;
    if (sizeByte >= 0xF0) {
      const size_t bytes = 500 + 2 * static_cast<size_t>(sizeByte - 0xF0);
      std::u16string file(bytes / 2 - 5, u'a');
      file += u".wav";
      for (char16_t c : file) {
        data.push_back(static_cast<uint8_t>(c));
        data.push_back(static_cast<uint8_t>(c >> 8));
      }
      data.resize(bytes);  // the last unit holds the terminator
    } else {
      data = in->ConsumeBytes<uint8_t>(sizeByte);
    }
    standin::PutRegistryValue(root, path, name, type, data);
    if (Showing()) {
      Show("value.root", machine);
      Show("value.name", name);
      Show("value.type", type);
      Show("value.data", std::u16string(data.begin(), data.end()));
    }
  }
}

KeySnapshot Snapshot(win::HKEY root) {
  KeySnapshot s{};
  s.exists = standin::RegistryKeyExists(root, KeyPathOf());
  for (size_t i = 0; i < 6; ++i) {
    standin::RegistryValue v;
    s.present[i] = standin::GetRegistryValue(root, KeyPathOf(), kValueNames[i], &v);
    if (s.present[i]) {
      s.types[i] = v.type;
      s.data[i] = v.data;
    }
  }
  return s;
}

bool SameSnapshot(const KeySnapshot& a, const KeySnapshot& b) {
  if (a.exists != b.exists) return false;
  for (size_t i = 0; i < 6; ++i) {
    if (a.present[i] != b.present[i]) return false;
    if (a.present[i] && (a.types[i] != b.types[i] || a.data[i] != b.data[i])) return false;
  }
  return true;
}

bool Showing() {
  static const bool showing = std::getenv("QUORVIN_FUZZ_SHOW") != nullptr;
  return showing;
}

void Show(const char* name, long long value) {
  std::fprintf(stderr, "%s=%lld\n", name, value);
}

void Show(const char* name, const std::u16string& text) {
  std::string shown = "\"";
  for (char16_t c : text) {
    if (c == u'\\' || c == u'"') {
      shown += '\\';
      shown += static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7F) {
      shown += static_cast<char>(c);
    } else {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
      shown += escape;
    }
  }
  std::fprintf(stderr, "%s=%s\"\n", name, shown.c_str());
}

void ResetWorld() {
  standin::Reset();
  standin::ReleaseAllKeys();
  standin::TakeSoundRequests();
  standin::TakeMessageBoxes();
  standin::ResetRegistry();
  PluginSettings = kDefaultSettings;
  HostMajorVersion = 0;
}

}  // namespace fuzz
