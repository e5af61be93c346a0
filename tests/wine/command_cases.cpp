// What only Windows shows of `quorv /W` (its tables are in tests/cases/command.cpp): the
// system's own forms of a path, and a device name.
#include <windows.h>

#include <string>

#include "host.h"

namespace {

class WindowsWaveFile : public HostTest {};

TEST_F(WindowsWaveFile, PathFormsOfTheSystem) {
  const std::u16string dir = host::TempDir();
  host::MakeFile(u"ding.WAV");
  host::MakeDir(u"sub");
  host::MakeDir(u"dir.x");
  host::MakeFile(u"dir.x\\ding.wav");
  struct Row {
    std::u16string token;     // as typed
    std::u16string accepted;  // the full path taken; empty: refused
  };
  const Row rows[] = {
      {u"/W:sub\\..\\ding.WAV", dir + u"\\ding.WAV"},
      {u"/W:.\\dir.x\\ding.wav", dir + u"\\dir.x\\ding.wav"},
      {u"/W:nul.wav", u""},  // the system makes it the device \\.\nul
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(Show(row.token));
    host::Set(u"/D");
    const host::CommandResult r = host::Quorv(row.token);
    if (!row.accepted.empty()) {
      EXPECT_EQ(r.result, 0);
      EXPECT_TEXT(r.err, u"");
      EXPECT_TEXT(r.out, expected::Report({6, 1, 1, 0, 0, row.accepted}));
    } else {
      std::u16string shown = row.token;
      CharUpperW(reinterpret_cast<wchar_t*>(&shown[0]));
      EXPECT_EQ(r.result, 1);
      EXPECT_TEXT(r.out, u"");
      EXPECT_TEXT(r.err, cases::kPrefix + u"Not a valid .WAV file: \"" + shown + u"\"\r\n");
    }
  }
}

}  // namespace
