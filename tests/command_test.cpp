// The `quorv` settings command where only the native host can go (its tables are in
// tests/cases/command.cpp): a shell that misbehaves, POSIX paths, and the number reader.
#include "fixture.h"

namespace {

class WaveFileOption : public PluginTest {};

// A shell that fills the full-path buffer without a terminator: no valid file, nothing read past
// the buffer.
TEST_F(WaveFileOption, FromAShellThatLeavesTheFullPathUnended) {
  standin::SetFillWithoutTerminator(true);
  const host::CommandResult r = host::Quorv(u"/W:x.wav");
  EXPECT_EQ(r.result, 1);
  const std::u16string message = u"Not a valid .WAV file: \"/W:X.WAV\"\r\n";
  ASSERT_GE(r.err.size(), message.size());
  EXPECT_TEXT(r.err.substr(r.err.size() - message.size()), message);
}

// Outside quotation marks the slashes of a POSIX path start new options.
TEST_F(WaveFileOption, PosixPathOutsideQuotationMarksSplits) {
  MakeDir(u"snd");
  MakeFile(u"snd/a.wav");
  const host::CommandResult r = host::Quorv(u"/W:" + TempDir() + u"/snd/a.wav");
  EXPECT_EQ(r.result, 1);
  EXPECT_TEXT(r.err, u"Quorvin plugin: Not a valid .WAV file: \"/W:\"\r\n");
  EXPECT_TEXT(cases::Shown(), expected::kDefaultReport);
}

TEST(ParseUnsignedValue, NumbersAndNot) {
  struct Case {
    const char16_t* text;
    int result;
    uint32_t value;
  } cases[] = {
      {u"12", 0, 12},
      {u"0x1F", 0, 31},
      {u"0X1f", 0, 31},
      {u"0o17", 0, 15},
      {u"0O7", 0, 7},
      {u"017", 0, 17},
      {u"0", 0, 0},
      {u"4294967295", 0, 4294967295u},
      {u"0xFFFFFFFF", 0, 4294967295u},
      {u"0x0x5", 0, 5},
      {u"4294967296", ERANGE, 0},
      {u"0x100000000", ERANGE, 0},
      {u"-1", -1, 0},
      {u"+1", -1, 0},
      {u" 1", -1, 0},
      {u"0o8", -1, 0},
      {u"0x", -1, 0},
      {u"12a", -1, 0},
      {u"", -1, 0},
      {u"1 ", -1, 0},
      {u"0o", -1, 0},
      {u"\u00B2", -1, 0},
  };
  for (const Case& c : cases) {
    uint32_t value = 777;
    EXPECT_EQ(ParseUnsignedValue(c.text, &value), c.result) << Show(c.text);
    EXPECT_EQ(value, c.result == 0 ? c.value : 777u) << Show(c.text);
  }
  EXPECT_EQ(ParseUnsignedValue(u"1", nullptr), -1);
}

}  // namespace
