// A stand-in for the six registry functions the settings use: two roots, keys created with
// their parents, typed values with exact bytes, the real status codes, injected faults, and
// an optional backing file in a readable text form.
//
// The file holds one section per key and one line per value:
//   [HKCU\Software\Velloran\Quorvin]
//   "Error Beep Mode"=dword:00000001
//   "Error Beep Filename"=sz:"/home/me/ding.wav"
//   "Odd"=hex(4):01,00,00,00,00,00,00,00
// It is written to a temporary file and renamed into place after every change.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <set>

#include "common/utf.h"
#include "platform/standin_platform.h"

namespace standin {

namespace {

// Names of keys and values compare without regard to case; maps are keyed by the upper-cased
// name and keep the name as written.
struct StoredValue {
  std::u16string name;
  RegistryValue value;
};

struct StoredKey {
  std::map<std::u16string, StoredValue> values;
};

// A key is "HKCU\PATH" or "HKLM\PATH" upper-cased.
using KeyTable = std::map<std::u16string, StoredKey>;

// The stand-in registry's state; changed by the registry functions and the controls.
struct RegistryState {
  KeyTable keys;
  std::map<std::u16string, std::u16string> keyNames;  // upper-cased key -> key as created
  std::set<win::HKEY> open;                           // handles not yet closed
  int32_t openFault = 0;                              // status of every open, or 0
  int32_t createFault = 0;                            // status of every create, or 0
  std::map<std::u16string, int32_t> writeFaults;      // upper-cased value name -> status
  std::map<std::u16string, int32_t> deleteFaults;     // the same, for RegDeleteValueW
  std::string file;                                   // backing file, or empty
};

RegistryState& State() {
  static RegistryState state;
  return state;
}

// What an open handle refers to.
struct OpenKey {
  std::u16string key;  // upper-cased "HKCU\PATH"
};

// The bytes of a REG_SZ: the text's units, least significant byte first, and the terminator.
std::vector<uint8_t> StringBytes(const std::u16string& text) {
  std::vector<uint8_t> data;
  for (char16_t c : text + u'\0') {
    data.push_back(uint8_t(c));
    data.push_back(uint8_t(c >> 8));
  }
  return data;
}

const char16_t* RootName(win::HKEY root) {
  if (root == win::CurrentUser()) return u"HKCU";
  if (root == win::LocalMachine()) return u"HKLM";
  return nullptr;
}

// "HKCU\Path" for a root and a path, with no doubled or trailing backslashes; empty when the
// root is not one of the two.
std::u16string KeyPath(win::HKEY root, std::u16string_view path) {
  const char16_t* rootName = RootName(root);
  if (rootName == nullptr) return u"";
  std::u16string full(rootName);
  std::u16string part;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == u'\\') {
      if (!part.empty()) full += u"\\" + part;
      part.clear();
    } else {
      part.push_back(path[i]);
    }
  }
  return full;
}

void CreateKeyAndParents(const std::u16string& full) {
  RegistryState& s = State();
  for (size_t at = full.find(u'\\');; at = full.find(u'\\', at + 1)) {
    std::u16string prefix = full.substr(0, at);
    std::u16string upper = UpperAscii(prefix);
    if (s.keys.find(upper) == s.keys.end()) {
      s.keys[upper];
      s.keyNames[upper] = prefix;
    }
    if (at == std::u16string::npos) break;
  }
}

// ==== The backing file ====

std::string Escape(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  return out;
}

// A REG_SZ whose bytes are whole units ending in one terminator and free of control units is
// written as readable text, when its UTF-8 reads back as the same units; anything else as bytes.
bool IsPlainString(const RegistryValue& v) {
  if (v.type != win::kRegSz || v.data.size() < 2 || v.data.size() % 2 != 0) return false;
  const size_t units = v.data.size() / 2;
  for (size_t i = 0; i < units; ++i) {
    const uint16_t u = static_cast<uint16_t>(v.data[2 * i] | (v.data[2 * i + 1] << 8));
    if ((i + 1 == units) != (u == 0)) return false;
    if (u != 0 && u < 0x20) return false;
  }
  return true;
}

std::string FormatValue(const RegistryValue& v) {
  char buf[16];
  if (v.type == win::kRegDword && v.data.size() == 4) {
    uint32_t n = v.data[0] | (v.data[1] << 8) | (v.data[2] << 16) | (uint32_t(v.data[3]) << 24);
    snprintf(buf, sizeof buf, "%08x", n);
    return std::string("dword:") + buf;
  }
  if (IsPlainString(v)) {
    std::u16string text;
    for (size_t i = 0; i + 2 < v.data.size(); i += 2) {
      text.push_back(static_cast<char16_t>(v.data[i] | (v.data[i + 1] << 8)));
    }
    // A lone surrogate that stands for no byte has no UTF-8: such a text is kept as bytes.
    const std::string bytes = ToUtf8(text);
    if (FromUtf8(bytes) == text) return "sz:\"" + Escape(bytes) + "\"";
  }
  snprintf(buf, sizeof buf, "hex(%x):", v.type);
  std::string out = buf;
  for (size_t i = 0; i < v.data.size(); ++i) {
    snprintf(buf, sizeof buf, i == 0 ? "%02x" : ",%02x", v.data[i]);
    out += buf;
  }
  return out;
}

void SaveFile() {
  RegistryState& s = State();
  if (s.file.empty()) return;
  std::string text =
      "# Quorvin stand-in registry: one [key] per section, one \"value\"=data per line\n";
  for (const auto& [upper, key] : s.keys) {
    if (key.values.empty()) continue;
    text += "\n[" + ToUtf8(s.keyNames[upper]) + "]\n";
    for (const auto& [unused, stored] : key.values) {
      text += "\"" + Escape(ToUtf8(stored.name)) + "\"=" + FormatValue(stored.value) + "\n";
    }
  }
  const std::string temporary = s.file + ".tmp";
  FILE* f = fopen(temporary.c_str(), "wb");
  if (f == nullptr) return;
  const bool written = fwrite(text.data(), 1, text.size(), f) == text.size();
  if (fclose(f) != 0 || !written || rename(temporary.c_str(), s.file.c_str()) != 0) {
    remove(temporary.c_str());
    fprintf(stderr, "quorvin-shell: cannot write the registry file %s\n", s.file.c_str());
  }
}

// Reads a quoted text at `p`; advances past the closing quotation mark.
bool ParseQuoted(const std::string& line, size_t* p, std::string* out) {
  if (*p >= line.size() || line[*p] != '"') return false;
  for (size_t i = *p + 1; i < line.size(); ++i) {
    if (line[i] == '\\' && i + 1 < line.size()) {
      out->push_back(line[++i]);
    } else if (line[i] == '"') {
      *p = i + 1;
      return true;
    } else {
      out->push_back(line[i]);
    }
  }
  return false;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ParseData(const std::string& d, RegistryValue* v) {
  if (d.rfind("dword:", 0) == 0) {
    if (d.size() != 14) return false;
    uint32_t n = 0;
    for (size_t i = 6; i < 14; ++i) {
      int h = HexDigit(d[i]);
      if (h < 0) return false;
      n = n * 16 + h;
    }
    v->type = win::kRegDword;
    v->data = {uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)};
    return true;
  }
  if (d.rfind("sz:", 0) == 0) {
    size_t p = 3;
    std::string text;
    if (!ParseQuoted(d, &p, &text) || p != d.size()) return false;
    v->type = win::kRegSz;
    v->data = StringBytes(FromUtf8(text));
    return true;
  }
  if (d.rfind("hex(", 0) == 0) {
    size_t close = d.find("):");
    if (close == std::string::npos || close == 4) return false;
    uint32_t type = 0;
    for (size_t i = 4; i < close; ++i) {
      int h = HexDigit(d[i]);
      if (h < 0 || i - 4 >= 8) return false;
      type = type * 16 + h;
    }
    v->type = type;
    v->data.clear();
    for (size_t i = close + 2; i < d.size(); i += 3) {
      int hi = HexDigit(d[i]);
      int lo = i + 1 < d.size() ? HexDigit(d[i + 1]) : -1;
      if (hi < 0 || lo < 0 || (i + 2 < d.size() && d[i + 2] != ',')) return false;
      v->data.push_back(uint8_t(hi * 16 + lo));
    }
    return true;
  }
  return false;
}

bool LoadFile(const std::string& path, KeyTable* keys,
              std::map<std::u16string, std::u16string>* names) {
  FILE* f = fopen(path.c_str(), "rb");
  if (f == nullptr) return errno == ENOENT;  // no file yet: an empty store, no warning
  std::string text;
  char chunk[4096];
  for (size_t n; (n = fread(chunk, 1, sizeof chunk, f)) > 0;) text.append(chunk, n);
  const bool readError = ferror(f) != 0;
  fclose(f);
  if (readError) return false;

  std::u16string current;  // upper-cased key of the current section
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '[') {
      if (line.back() != ']') return false;
      std::u16string name = FromUtf8(line.substr(1, line.size() - 2));
      std::u16string root = UpperAscii(name.substr(0, 4));
      if ((root != u"HKCU" && root != u"HKLM") || (name.size() > 4 && name[4] != u'\\')) {
        return false;
      }
      current = UpperAscii(name);
      (*keys)[current];
      (*names)[current] = name;
      continue;
    }
    if (current.empty()) return false;
    size_t p = 0;
    std::string valueName;
    if (!ParseQuoted(line, &p, &valueName) || p >= line.size() || line[p] != '=') return false;
    StoredValue stored{FromUtf8(valueName), {}};
    if (!ParseData(line.substr(p + 1), &stored.value)) return false;
    (*keys)[current].values[UpperAscii(stored.name)] = stored;
  }
  return true;
}

StoredKey* FindKey(win::HKEY handle) {
  RegistryState& s = State();
  if (s.open.count(handle) == 0) return nullptr;
  auto found = s.keys.find(reinterpret_cast<OpenKey*>(handle)->key);
  return found == s.keys.end() ? nullptr : &found->second;
}

win::HKEY NewHandle(const std::u16string& key) {
  auto* open = new OpenKey{key};
  auto handle = reinterpret_cast<win::HKEY>(open);
  State().open.insert(handle);
  return handle;
}

}  // namespace

void ResetRegistry() {
  RegistryState& s = State();
  for (win::HKEY h : s.open) delete reinterpret_cast<OpenKey*>(h);
  s = RegistryState();
}

void FailKeyOpen(int32_t status) {
  State().openFault = status;
}
void FailKeyCreate(int32_t status) {
  State().createFault = status;
}

// Sets or (status 0) removes the fault of value `name` in `faults`.
void SetFault(std::map<std::u16string, int32_t>* faults, const std::u16string& name,
              int32_t status) {
  if (status == 0) {
    faults->erase(UpperAscii(name));
  } else {
    (*faults)[UpperAscii(name)] = status;
  }
}

void FailValueWrite(const std::u16string& name, int32_t status) {
  SetFault(&State().writeFaults, name, status);
}

void FailValueDelete(const std::u16string& name, int32_t status) {
  SetFault(&State().deleteFaults, name, status);
}

void CreateRegistryKey(win::HKEY root, const std::u16string& path) {
  const std::u16string full = KeyPath(root, path);
  if (!full.empty()) CreateKeyAndParents(full);
}

void PutRegistryValue(win::HKEY root, const std::u16string& path, const std::u16string& name,
                      uint32_t type, const std::vector<uint8_t>& data) {
  const std::u16string full = KeyPath(root, path);
  if (full.empty()) return;
  CreateKeyAndParents(full);
  State().keys[UpperAscii(full)].values[UpperAscii(name)] = StoredValue{name, {type, data}};
  SaveFile();
}

void PutRegistryDword(win::HKEY root, const std::u16string& path, const std::u16string& name,
                      uint32_t value) {
  PutRegistryValue(
      root, path, name, win::kRegDword,
      {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)});
}

void PutRegistryString(win::HKEY root, const std::u16string& path, const std::u16string& name,
                       const std::u16string& value) {
  PutRegistryValue(root, path, name, win::kRegSz, StringBytes(value));
}

bool GetRegistryValue(win::HKEY root, const std::u16string& path, const std::u16string& name,
                      RegistryValue* out) {
  auto key = State().keys.find(UpperAscii(KeyPath(root, path)));
  if (key == State().keys.end()) return false;
  auto value = key->second.values.find(UpperAscii(name));
  if (value == key->second.values.end()) return false;
  *out = value->second.value;
  return true;
}

bool RegistryKeyExists(win::HKEY root, const std::u16string& path) {
  return State().keys.count(UpperAscii(KeyPath(root, path))) != 0;
}

int OpenRegistryKeys() {
  return static_cast<int>(State().open.size());
}

bool UseRegistryFile(const std::string& path) {
  RegistryState& s = State();
  s.file.clear();
  if (path.empty()) return true;
  KeyTable keys;
  std::map<std::u16string, std::u16string> names;
  const bool loaded = LoadFile(path, &keys, &names);
  if (loaded) {
    s.keys = std::move(keys);
    s.keyNames = std::move(names);
  } else {
    s.keys.clear();
    s.keyNames.clear();
    fprintf(stderr,
            "quorvin-shell: warning: the registry file %s is damaged or unreadable; "
            "starting with an empty registry\n",
            path.c_str());
  }
  s.file = path;
  return loaded;
}

}  // namespace standin

namespace win {

using standin::State;

int32_t RegOpenKeyExW(HKEY root, const char16_t* subKey, uint32_t /*options*/, uint32_t /*access*/,
                      HKEY* result) {
  if (State().openFault != 0) return State().openFault;
  const std::u16string full = standin::KeyPath(root, subKey != nullptr ? subKey : u"");
  if (full.empty()) return kErrorInvalidParameter;
  const std::u16string upper = standin::UpperAscii(full);
  if (State().keys.find(upper) == State().keys.end()) return kErrorFileNotFound;
  *result = standin::NewHandle(upper);
  return kErrorSuccess;
}

int32_t RegCreateKeyExW(HKEY root, const char16_t* subKey, uint32_t /*reserved*/,
                        char16_t* /*keyClass*/, uint32_t /*options*/, uint32_t /*access*/,
                        void* /*security*/, HKEY* result, uint32_t* disposition) {
  if (State().createFault != 0) return State().createFault;
  const std::u16string full = standin::KeyPath(root, subKey != nullptr ? subKey : u"");
  if (full.empty()) return kErrorInvalidParameter;
  const std::u16string upper = standin::UpperAscii(full);
  const bool existed = State().keys.find(upper) != State().keys.end();
  standin::CreateKeyAndParents(full);
  if (disposition != nullptr) *disposition = existed ? 2 : 1;  // opened / created
  *result = standin::NewHandle(upper);
  return kErrorSuccess;
}

int32_t RegQueryValueExW(HKEY key, const char16_t* name, uint32_t* /*reserved*/, uint32_t* type,
                         uint8_t* data, uint32_t* size) {
  standin::StoredKey* stored = standin::FindKey(key);
  if (stored == nullptr) return 6;  // ERROR_INVALID_HANDLE
  auto found = stored->values.find(standin::UpperAscii(name != nullptr ? name : u""));
  if (found == stored->values.end()) return kErrorFileNotFound;
  const standin::RegistryValue& value = found->second.value;
  const auto needed = static_cast<uint32_t>(value.data.size());
  if (type != nullptr) *type = value.type;
  if (data == nullptr) {
    if (size != nullptr) *size = needed;
    return kErrorSuccess;
  }
  if (size == nullptr) return 998;  // ERROR_NOACCESS
  if (*size < needed) {
    *size = needed;
    return kErrorMoreData;  // the buffer is left as it was
  }
  if (needed != 0) memcpy(data, value.data.data(), needed);
  *size = needed;
  return kErrorSuccess;
}

int32_t RegSetValueExW(HKEY key, const char16_t* name, uint32_t /*reserved*/, uint32_t type,
                       const uint8_t* data, uint32_t size) {
  standin::StoredKey* stored = standin::FindKey(key);
  if (stored == nullptr) return 6;
  const std::u16string valueName = name != nullptr ? name : u"";
  auto fault = State().writeFaults.find(standin::UpperAscii(valueName));
  if (fault != State().writeFaults.end()) return fault->second;
  std::vector<uint8_t> bytes(data, data + (data != nullptr ? size : 0));
  stored->values[standin::UpperAscii(valueName)] = standin::StoredValue{valueName, {type, bytes}};
  standin::SaveFile();
  return kErrorSuccess;
}

int32_t RegDeleteValueW(HKEY key, const char16_t* name) {
  standin::StoredKey* stored = standin::FindKey(key);
  if (stored == nullptr) return 6;
  auto fault = State().deleteFaults.find(standin::UpperAscii(name != nullptr ? name : u""));
  if (fault != State().deleteFaults.end()) return fault->second;
  if (stored->values.erase(standin::UpperAscii(name != nullptr ? name : u"")) == 0) {
    return kErrorFileNotFound;
  }
  standin::SaveFile();
  return kErrorSuccess;
}

int32_t RegCloseKey(HKEY key) {
  if (State().open.erase(key) == 0) return 6;
  delete reinterpret_cast<standin::OpenKey*>(key);
  return kErrorSuccess;
}

}  // namespace win
