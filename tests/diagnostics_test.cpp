// The error prefix, the text of system error codes, and the help exports.
#include "fixture.h"
#include "text/text.h"

namespace {

class Diagnostics : public PluginTest {
 protected:
  std::u16string Format(uint32_t code) {
    char16_t buffer[kErrorTextCapacity];
    for (char16_t& c : buffer) c = u'#';
    FormatSystemError(code, buffer);
    return buffer;
  }
};

TEST_F(Diagnostics, PrefixOutsideAndInsideABatchFile) {
  WriteErrorPrefix();
  EXPECT_EQ(standin::TakeStderr(), u"Quorvin plugin: ");
  EXPECT_EQ(standin::TakeStdout(), u"");

  standin::SetVariable(u"_batch", u"2");
  standin::SetVariable(u"_batchname", u"C:\\100% sure %d.btm");
  standin::SetVariable(u"_batchline", u"12");
  WriteErrorPrefix();
  EXPECT_EQ(standin::TakeStderr(), u"Quorvin plugin: C:\\100% sure %d.btm [12]  ");

  standin::SetVariable(u"_batch", u"");  // only a leading '0' means outside
  standin::SetVariable(u"_batchname", u"");
  standin::SetVariable(u"_batchline", u"");
  WriteErrorPrefix();
  EXPECT_EQ(standin::TakeStderr(), u"Quorvin plugin:  []  ");

  // A name longer than any stack buffer the prefix could have used is written whole.
  const std::u16string longName(9000, u'n');
  standin::SetVariable(u"_batchname", longName);
  WriteErrorPrefix();
  EXPECT_EQ(standin::TakeStderr(), u"Quorvin plugin: " + longName + u" []  ");

  // A shell that fills the whole buffer without a terminator: the text ends in its last unit.
  standin::SetFillWithoutTerminator(true);
  EXPECT_EQ(text::Length(ExpandShellText(u"%_batchname")), kLineCapacity - 1);
  WriteErrorPrefix();
  EXPECT_EQ(standin::TakeStderr(), u"Quorvin plugin: " + std::u16string(kLineCapacity - 1, u'x'));
}

TEST_F(Diagnostics, SystemErrorTexts) {
  EXPECT_EQ(Format(2), u"The system cannot find the file specified.");
  EXPECT_EQ(Format(5), u"Access is denied.");
  EXPECT_EQ(Format(12345), u"Error 12345");
  EXPECT_EQ(Format(0x80000005), u"Error -2147483643");
  EXPECT_EQ(Format(0xFFFFFFFF), u"Unknown error");
  standin::SetSystemMessage(4242, u" \t\r\n\u00A0");
  EXPECT_EQ(Format(4242), u"");
  standin::SetSystemMessage(4243, u"Two  words\r\n \r\n");
  EXPECT_EQ(Format(4243), u"Two  words");
}

TEST_F(Diagnostics, UsageGivesTheSyntaxWithoutTheDescription) {
  const std::u16string help = HelpText;
  const std::u16string syntax = help.substr(help.find(u"QUORV /A:"));
  ASSERT_EQ(syntax.rfind(
                u"QUORV /A: /B: /D /H[n] /I: /Q /R /S /W: /X: /Z:  \r\n\n\t/A:\tallow whitespace "
                u"after the first bang \n",
                0),
            0u);
  for (const char16_t* name : {u"QUORV", u"Quorv", u"quorv"}) {
    char16_t out[kUsageCapacity] = u"untouched";
    EXPECT_EQ(Usage(name, out), 1) << Show(name);
    EXPECT_EQ(std::u16string(out), syntax) << Show(name);
  }
  for (const char16_t* name : {u"quor", u"quorvx", u"@quorv", u"_quorv", u""}) {
    char16_t out[kUsageCapacity] = u"untouched";
    EXPECT_EQ(Usage(name, out), 0) << Show(name);
    EXPECT_EQ(std::u16string(out), u"untouched") << Show(name);
  }
}

TEST_F(Diagnostics, HelpShowsTheWholeTextInAMessageBox) {
  for (const char16_t* name : {u"QUORV", u"Quorv", u"quorv"}) {
    EXPECT_EQ(Help(name), 1) << Show(name);
    std::vector<standin::MessageBoxCall> boxes = standin::TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, HelpText);
    EXPECT_EQ(boxes[0].caption, u"Quorvin Plugin Help");
    EXPECT_EQ(boxes[0].owner, standin::ForegroundWindow());
    EXPECT_EQ(boxes[0].type, 0u);
  }
  for (const char16_t* name : {u"quor", u"quorvx", u"@quorv", u"_quorv"}) {
    EXPECT_EQ(Help(name), 0) << Show(name);
  }
  EXPECT_TRUE(standin::TakeMessageBoxes().empty());
}

TEST(HelpText, ExactText) {
  EXPECT_EQ(std::u16string(HelpText),
            u"Display and change Quorvin plugin settings. \n"
            u"\n"
            u"QUORV /A: /B: /D /H[n] /I: /Q /R /S /W: /X: /Z:  \r\n"
            u"\n"
            u"\t/A:\tallow whitespace after the first bang \n"
            u"\t/B:\terror beep mode \n"
            u"\t/D\trestore plugin default settings \n"
            u"\t/H[n]\tlist the history numbered as !n recalls it (the newest n) \n"
            u"\t/I:\tcase insensitive searches \n"
            u"\t/Q\tquietly\n"
            u"\t/R\trestore saved settings from the registry \n"
            u"\t/S\tsave the current settings to the registry \n"
            u"\t/W:\tspecify a .WAV file for the error beep \n"
            u"\t/X:\texecute command on failure \n"
            u"\t/Z:\tcounting base (zero or one) \n"
            u"\n"
            u"QUORV with no options displays the current settings.\n");
}

}  // namespace
