// Shared fixture of the unit tests.
#include "fixture.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "common/utf.h"

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
      char buf[12];
      snprintf(buf, sizeof buf, "\\u%04X", static_cast<unsigned>(c));
      out += buf;
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out;
}

void PluginTest::SetUp() {
  standin::Reset();
  standin::ReleaseAllKeys();
  standin::TakeSoundRequests();
  standin::TakeMessageBoxes();
  standin::ResetRegistry();
  standin::ResetSystemMessages();
  PluginSettings = kDefaultSettings;
  HostMajorVersion = 0;
}

void PluginTest::TearDown() {
  if (!tempDir_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(tempDir_, ignored);
  }
}

std::u16string PluginTest::TempDir() {
  if (tempDir_.empty()) {
    char pattern[] = "/tmp/quorvin-test-XXXXXX";
    const char* made = mkdtemp(pattern);
    EXPECT_NE(made, nullptr);
    tempDir_ = made != nullptr ? made : "/tmp";
  }
  return standin::FromUtf8(tempDir_);
}

std::u16string PluginTest::MakeFile(const std::u16string& name) {
  std::u16string path = TempDir() + u"/" + name;
  FILE* f = fopen(standin::ToUtf8(path).c_str(), "wb");
  EXPECT_NE(f, nullptr) << Show(path);
  if (f != nullptr) fclose(f);
  return path;
}

std::u16string PluginTest::MakeDir(const std::u16string& name) {
  std::u16string path = TempDir() + u"/" + name;
  EXPECT_EQ(mkdir(standin::ToUtf8(path).c_str(), 0755), 0) << Show(path);
  return path;
}

KeyResult PressKey(const std::u16string& line, int keyCode, const std::u16string& keyName,
                   long cursor) {
  std::vector<char16_t> buffer(kLineCapacity, 0);
  std::copy(line.begin(), line.end(), buffer.begin());
  std::vector<char16_t> name(64, 0);
  std::copy(keyName.begin(), keyName.end(), name.begin());
  KeyEvent event{};
  event.key = keyCode;
  event.line = buffer.data();
  event.cursor = buffer.data() + (cursor < 0 ? static_cast<long>(line.size()) : cursor);
  event.keyName = name.data();
  EXPECT_EQ(key(&event), 0);
  // The line up to its terminator, or the whole buffer when none is left in it.
  const auto end = std::find(buffer.begin(), buffer.end(), u'\0');
  return KeyResult{std::u16string(buffer.begin(), end), event.key, event.redraw,
                   event.cursor - buffer.data(), name.data()};
}
