// The plugin's frame as the shell sees it: the identity record, the load banner, shutting down,
// Usage and Help.
#include "cases.h"
#include "expected.h"

namespace {

class Identity : public HostTest {};

std::u16string Text(const char16_t* text) {
  return text != nullptr ? text : u"(null)";
}

TEST_F(Identity, RecordHoldsThePluginsIdentity) {
  PluginInfo* info = host::GetPluginInfo();
  ASSERT_NE(info, nullptr);
  EXPECT_TEXT(Text(info->name), u"Quorvin");
  EXPECT_TEXT(Text(info->author), u"Brasklund");
  EXPECT_TEXT(Text(info->email), u"quorvin@velloran.org");
  EXPECT_TEXT(Text(info->webPage), u"https://velloran.org/quorvin");
  EXPECT_TEXT(Text(info->description), u"Access command history with a bang!");
  EXPECT_TEXT(Text(info->functions), u"quorv,*key");
  EXPECT_EQ(info->major, 0);
  EXPECT_EQ(info->minor, 70);
  EXPECT_EQ(info->build, 0);
}

TEST_F(Identity, LaterCallsStoreTheSameAndLeaveTheShellsFields) {
  PluginInfo* first = host::GetPluginInfo();
  // The shell writes the fields after the build number itself.
  char moduleTag = 0;
  first->module = &moduleTag;
  char16_t moduleName[] = u"quorvin.dll";
  first->moduleName = moduleName;
  first->minor = 99;
  PluginInfo* second = host::GetPluginInfo();
  EXPECT_EQ(second, first);
  EXPECT_EQ(second->minor, 70);
  EXPECT_EQ(second->module, &moduleTag);
  EXPECT_EQ(second->moduleName, moduleName);
  second->module = nullptr;
  second->moduleName = nullptr;
}

TEST_F(Identity, ShutdownSavesNothing) {
  EXPECT_EQ(host::StartPlugin(), 0);
  host::TakeStdout();
  EXPECT_EQ(host::Quorv(u"/Q /B3").result, 0);
  EXPECT_EQ(host::ShutdownPlugin(), 0);
  EXPECT_FALSE(host::SettingsKeyExists(false));
  EXPECT_TEXT(host::TakeStdout(), u"");
}

class Banner : public HostTest {};

// The banner is printed when %_transient%_pipe expands to exactly "00" and noloadmsg does not
// exist or is empty.
TEST_F(Banner, PrintedOnlyWhenTheVariablesExpandToExactly00) {
  const std::u16string huge(5000, u'm');  // longer than the plugin's buffers once were
  const struct {
    std::u16string transient, pipe;  // values of _transient and _pipe
    bool setNoLoadMessage;           // whether noloadmsg exists
    std::u16string noLoadMessage;    // its value
    bool banner;
  } rows[] = {
      {u"0", u"0", false, u"", true},   {u"0", u"0", true, u"", true},
      {u"00", u"", false, u"", true},   {u"0", u"0", true, u"0", false},
      {u"0", u"0", true, u"x", false},  {u"0", u"0", true, u"yes", false},
      {u"0", u"0", true, huge, false},  {u"0", u"", false, u"", false},
      {u"0", u"1", false, u"", false},  {u"1", u"0", false, u"", false},
      {u"0", u"01", false, u"", false}, {u"00", u"0", false, u"", false},
      {u"0", u"0x", false, u"", false}, {u"", u"", false, u"", false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE("_transient=" + ShowBrief(row.transient) + " _pipe=" + ShowBrief(row.pipe) +
                 (row.setNoLoadMessage ? " noloadmsg=" + ShowBrief(row.noLoadMessage)
                                       : std::string(" (no noloadmsg)")));
    ASSERT_TRUE(host::ResetWorld());
    host::SetVariable(u"_transient", row.transient);
    host::SetVariable(u"_pipe", row.pipe);
    if (row.setNoLoadMessage) host::SetVariable(u"noloadmsg", row.noLoadMessage);
    EXPECT_EQ(host::StartPlugin(), 0);
    EXPECT_TEXT(host::TakeStdout(), row.banner ? u"Quorvin v0.70.0 loaded.\r\n" : u"");
    EXPECT_TEXT(host::TakeStderr(), u"");
  }
}

// The syntax part of the help: everything after the description line and its line feeds.
const std::u16string kUsageText =
    expected::kHelpText.substr(expected::kHelpText.find(u"QUORV /A:"));

// The command's name in any case, and names that are not the command.
const char16_t* const kCommandNames[] = {u"QUORV", u"Quorv", u"quorv"};
const char16_t* const kOtherNames[] = {u"quor", u"quorvx", u"@quorv", u"_quorv", u"", u"key"};

class Usage : public HostTest {};

TEST_F(Usage, GivesTheSyntaxForTheCommandInAnyCase) {
  for (const char16_t* name : kCommandNames) {
    SCOPED_TRACE(ShowBrief(name));
    std::vector<char16_t> out(1024 + 16, 0xA5A5);
    EXPECT_EQ(host::Usage(name, out.data()), 1);
    EXPECT_TEXT(out.data(), kUsageText);
    EXPECT_EQ(out[1024], 0xA5A5);
  }
}

TEST_F(Usage, KnowsNoOtherName) {
  for (const char16_t* name : kOtherNames) {
    SCOPED_TRACE(ShowBrief(name));
    std::vector<char16_t> out(1024, 0xA5A5);
    EXPECT_EQ(host::Usage(name, out.data()), 0);
    EXPECT_EQ(out[0], 0xA5A5);
  }
}

class Help : public HostTest {};

TEST_F(Help, ShowsTheHelpInAMessageBoxOwnedByTheForegroundWindow) {
  for (const char16_t* name : kCommandNames) {
    SCOPED_TRACE(ShowBrief(name));
    EXPECT_EQ(host::Help(name), 1);
    const std::vector<host::MessageBoxCall> boxes = host::TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TEXT(boxes[0].text, expected::kHelpText);
    EXPECT_TEXT(boxes[0].caption, u"Quorvin Plugin Help");
    EXPECT_EQ(boxes[0].owner, host::ForegroundWindow());
    EXPECT_EQ(boxes[0].type, 0u);
  }
}

TEST_F(Help, KnowsNoOtherName) {
  for (const char16_t* name : kOtherNames) {
    SCOPED_TRACE(ShowBrief(name));
    EXPECT_EQ(host::Help(name), 0);
    EXPECT_TRUE(host::TakeMessageBoxes().empty());
  }
}

}  // namespace
