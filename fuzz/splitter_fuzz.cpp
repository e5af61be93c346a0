// Fuzzes the argument splitter with any text and checks the shape of `ArgumentTable` after
// every call: at most 1024 tokens, each zero-terminated at its length inside the buffer, in
// order, none ending in white space or holding a quotation mark, and a cleared remainder.
//
// Input layout (see fuzz_input.h): from the end, whether to check also that an absent text
// leaves the table alone; the rest is one text of fuzz::LastText (up to 20000 units, past the
// buffer's 8192).
#include <cstring>
#include <memory>

#include "fuzz_input.h"
#include "settings/settings.h"
#include "shell/standin_shell.h"
#include "text/text.h"

namespace {

constexpr size_t kMaxTextUnits = 20000;

bool InBuffer(const char16_t* p) {
  return p >= ArgumentTable.buffer && p < ArgumentTable.buffer + kMaxArgumentLength;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  standin::Reset();
  FuzzedDataProvider in(data, size);
  const bool alsoAbsent = in.ConsumeBool();
  const std::u16string text = fuzz::LastText(&in, kMaxTextUnits);
  if (fuzz::Showing()) {
    fuzz::Show("absent-too", alsoAbsent);
    fuzz::Show("text", text);
  }

  // The text in a buffer of exactly its size, so that reading past its terminator is caught.
  std::unique_ptr<char16_t[]> argument(new char16_t[text.size() + 1]);
  std::memcpy(argument.get(), text.data(), text.size() * sizeof(char16_t));
  argument[text.size()] = 0;

  const int result = SplitArguments(argument.get());
  const ArgumentRecord& t = ArgumentTable;

  FUZZ_CHECK(std::u16string(argument.get()) == text, "the argument text is not written");
  FUZZ_CHECK(result >= -1 && result <= kMaxArguments, "the result is -1 or a token count");
  if (result == -1) {
    // Too long a text, or too many tokens: either way one message and no tokens.
    const std::u16string err = standin::TakeStderr();
    FUZZ_CHECK(t.count == 0, "after a failed split the count is 0");
    FUZZ_CHECK(err.find(u"Buffer overflow") != std::u16string::npos ||
                   err.find(u"Too many arguments") != std::u16string::npos,
               "a failed split writes its message");
  } else {
    FUZZ_CHECK(result == t.count, "the result is the table's count");
    FUZZ_CHECK(standin::TakeStderr().empty(), "a successful split writes nothing");
  }
  FUZZ_CHECK(t.count >= 0 && t.count <= kMaxArguments, "at most 1024 tokens");

  const char16_t* previousEnd = nullptr;  // the terminator of the token before
  for (int i = 0; i < t.count; ++i) {
    const char16_t* start = t.starts[i];
    const int length = t.lengths[i];
    FUZZ_CHECK(start != nullptr && InBuffer(start), "a token starts inside the buffer");
    FUZZ_CHECK(length >= 0, "a token's length is not negative");
    FUZZ_CHECK(InBuffer(start + length), "a token's terminator lies inside the buffer");
    FUZZ_CHECK(start[length] == 0, "a token is zero-terminated at its length");
    FUZZ_CHECK(previousEnd == nullptr || start > previousEnd, "tokens follow one another");
    for (int k = 0; k < length; ++k) {
      FUZZ_CHECK(start[k] != 0, "a token holds no zero unit");
      FUZZ_CHECK(start[k] != u'"', "a token holds no quotation mark");
    }
    FUZZ_CHECK(length == 0 || !text::IsSpace(start[length - 1]),
               "a token does not end in white space");
    previousEnd = start + length;
  }
  if (result != -1) {
    // Every token is a piece of the text with its quotation marks dropped, in order.
    std::u16string unquoted;
    for (char16_t c : text) {
      if (c != u'"') unquoted.push_back(c);
    }
    size_t from = 0;
    for (int i = 0; i < t.count; ++i) {
      const size_t at = unquoted.find(std::u16string(t.starts[i], t.lengths[i]), from);
      FUZZ_CHECK(at != std::u16string::npos, "a token is a piece of the text, in order");
      from = at + t.lengths[i];
    }
    for (int i = t.count; i < kMaxArguments; ++i) {
      FUZZ_CHECK(t.starts[i] == nullptr && t.lengths[i] == 0, "entries past the count are clear");
    }
  }

  if (alsoAbsent) {
    // An absent text changes nothing, not even after an overflow.
    static ArgumentRecord saved;
    std::memcpy(&saved, &ArgumentTable, sizeof saved);
    FUZZ_CHECK(SplitArguments(nullptr) == -1, "an absent text gives -1");
    FUZZ_CHECK(std::memcmp(&saved, &ArgumentTable, sizeof saved) == 0,
               "an absent text leaves the table");
  }
  return 0;
}
