// The argument splitter: worked examples, quoting, the slash rule, the scheme mark, trimming
// and the buffer and token limits.
#include "fixture.h"

namespace {

class Splitter : public PluginTest {
 protected:
  // The tokens of the table after a split.
  std::vector<std::u16string> Tokens() {
    std::vector<std::u16string> tokens;
    for (int i = 0; i < ArgumentTable.count; ++i) {
      const std::u16string token(ArgumentTable.starts[i], ArgumentTable.lengths[i]);
      EXPECT_EQ(ArgumentTable.starts[i][ArgumentTable.lengths[i]], 0) << "unterminated " << i;
      tokens.push_back(token);
    }
    return tokens;
  }
};

std::string ShowAll(const std::vector<std::u16string>& tokens) {
  std::string out;
  for (const std::u16string& t : tokens) out += "[" + Show(t) + "]";
  return out;
}

TEST_F(Splitter, WorkedExamples) {
  struct Case {
    std::u16string text;
    std::vector<std::u16string> tokens;
  } cases[] = {
      {u"/A1/B2", {u"/A1", u"/B2"}},
      {u"/A1 /B2", {u"/A1", u"/B2"}},
      {u"/S!/Q", {u"/S!", u"/Q"}},
      {u"/D/Q/R", {u"/D", u"/Q", u"/R"}},
      {u"\"/W:C:\\My Sounds\\x.wav\"", {u"/W:C:\\My Sounds\\x.wav"}},
      {u"/W:\"C:\\My Sounds\\x.wav\"", {u"/W:C:\\My Sounds\\x.wav"}},
      {u"/W:C:\\My Sounds\\x.wav", {u"/W:C:\\My", u"Sounds\\x.wav"}},
      {u"/W:C:/snd/x.wav", {u"/W:C:", u"/snd", u"/x.wav"}},
      {u"\"/W:C:/snd/x.wav\"", {u"/W:C:/snd/x.wav"}},
      {u"/Wab://c/d", {u"/Wab://c/d"}},
      {u"/W:1://c/d", {u"/W:1:", u"//c", u"/d"}},
      {u"//", {u"//"}},
      {u"///", {u"//", u"/"}},
      {u"abc/def", {u"abc/def"}},
      {u"a\"b c\"d", {u"ab cd"}},
      {u"\"a b", {u"a b"}},
      {u"\"x  \"", {u"x"}},
      {u"\"  \"", {u""}},
      {u"\"\"", {}},
      {u"", {}},
      {u"   ", {}},
      {u"/A1\t/B2\r\n/C3", {u"/A1", u"/B2", u"/C3"}},
      {u"\"a\tb\r\n\"", {u"a\tb"}},
      {u"/Q\"\"", {u"/Q"}},
      {u"/Wb\"\"://c/d", {u"/Wb:", u"//c", u"/d"}},  // a quotation mark before the colon
      {u"x:", {u"x:"}},                              // a colon at the very end
      {u"x:/", {u"x:/"}},
      {u":a", {u":a"}},
      {u"  \"  x\"  ", {u"  x"}},  // leading quoted white space stays
      {u"a,b=c!", {u"a,b=c!"}},
      {u"\\\"a b\"", {u"\\a b"}},
  };
  for (const Case& c : cases) {
    const int count = SplitArguments(c.text.c_str());
    EXPECT_EQ(count, static_cast<int>(c.tokens.size())) << Show(c.text);
    EXPECT_EQ(ShowAll(Tokens()), ShowAll(c.tokens)) << Show(c.text);
  }
}

TEST_F(Splitter, AbsentTextLeavesThePreviousTable) {
  ASSERT_EQ(SplitArguments(u"/A1 /B2 /C3"), 3);
  EXPECT_EQ(SplitArguments(nullptr), -1);
  EXPECT_EQ(ShowAll(Tokens()), "[/A1][/B2][/C3]");

  // A new split clears every entry beyond its count.
  ASSERT_EQ(SplitArguments(u"x"), 1);
  for (int i = 1; i < kMaxArguments; ++i) {
    EXPECT_EQ(ArgumentTable.starts[i], nullptr) << i;
    EXPECT_EQ(ArgumentTable.lengths[i], 0) << i;
  }
}

TEST_F(Splitter, BufferLimits) {
  const std::u16string longest(8191, u'a');
  EXPECT_EQ(SplitArguments(longest.c_str()), 1);
  EXPECT_EQ(ArgumentTable.lengths[0], 8191);
  EXPECT_EQ(standin::TakeStderr(), u"");

  EXPECT_EQ(SplitArguments((longest + u"a").c_str()), -1);
  EXPECT_EQ(ArgumentTable.count, 0);
  EXPECT_EQ(standin::TakeStderr(),
            u"Quorvin plugin: Buffer overflow: b = 8191, MAX_ARG_LEN = 8192 \r\n");

  // Two tokens of 4095 fill the buffer exactly; one more character overflows.
  const std::u16string half(4095, u'b');
  EXPECT_EQ(SplitArguments((half + u" " + half).c_str()), 2);
  EXPECT_EQ(ArgumentTable.starts[1] - ArgumentTable.buffer, 4096);
  EXPECT_EQ(SplitArguments((half + u" " + half + u"b").c_str()), -1);
  EXPECT_EQ(standin::TakeStderr(),
            u"Quorvin plugin: Buffer overflow: b = 8191, MAX_ARG_LEN = 8192 \r\n");

  // A token that ends with its last character at 8190 leaves the index at 8192: a following
  // token overflows there, nothing is written past the buffer.
  const std::u16string first(8190, u'c');
  EXPECT_EQ(SplitArguments((first + u"d").c_str()), 1);
  EXPECT_EQ(SplitArguments((first + u"d x").c_str()), -1);
  EXPECT_EQ(standin::TakeStderr(),
            u"Quorvin plugin: Buffer overflow: b = 8192, MAX_ARG_LEN = 8192 \r\n");
  EXPECT_EQ(SplitArguments((first + u"d   ").c_str()), 1);
}

TEST_F(Splitter, OverflowPrefixInsideABatchFile) {
  standin::SetVariable(u"_batch", u"1");
  standin::SetVariable(u"_batchname", u"C:\\x.btm");
  standin::SetVariable(u"_batchline", u"7");
  EXPECT_EQ(SplitArguments(std::u16string(9000, u'a').c_str()), -1);
  EXPECT_EQ(standin::TakeStderr(),
            u"Quorvin plugin: C:\\x.btm [7]  Buffer overflow: b = 8191, MAX_ARG_LEN = 8192 \r\n");
}

TEST_F(Splitter, TokenLimit) {
  std::u16string text;
  for (int i = 0; i < 1024; ++i) text += u"/" + std::u16string(1, u'A' + i % 26);
  EXPECT_EQ(SplitArguments(text.c_str()), 1024);
  EXPECT_EQ(std::u16string(ArgumentTable.starts[1023]), u"/" + std::u16string(1, u'A' + 1023 % 26));

  EXPECT_EQ(SplitArguments((text + u" \"\"  ").c_str()), 1024);  // no 1025th token
  EXPECT_EQ(standin::TakeStderr(), u"");

  EXPECT_EQ(SplitArguments((text + u" x y z /Q").c_str()), -1);
  EXPECT_EQ(ArgumentTable.count, 0);
  EXPECT_EQ(standin::TakeStderr(), u"Quorvin plugin: Too many arguments: more than 1024\r\n");
}

}  // namespace
