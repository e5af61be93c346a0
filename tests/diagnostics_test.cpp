// The error prefix and the text of system error codes (Usage and Help: tests/cases/frame.cpp).
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

}  // namespace
