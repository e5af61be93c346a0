// The prefix of every error message, and the text of a system error code.
#include "core/diagnostics.h"

#include "core/identity.h"
#include "platform/platform.h"
#include "text/text.h"

namespace {

constexpr uint32_t kUnknownErrorCode = 0xFFFFFFFFu;

}  // namespace

void* StandardError() {
  return win::GetStdHandle(win::kStdErrorHandle);
}

void WriteErrorPrefix() {
  Qprintf(StandardError(), u"%s plugin: ", kPluginName);

  if (ExpandShellText(u"%_batch")[0] == u'0') return;  // not inside a batch file

  // Through "%s": a '%' in the batch file's name is text, never a conversion.
  Qprintf(StandardError(), u"%s", ExpandShellText(u"%_batchname [%_batchline]  "));
}

void FormatSystemError(uint32_t code, char16_t* buffer) {
  if (code == kUnknownErrorCode) {
    text::Copy(buffer, kErrorTextCapacity, u"Unknown error");
  } else if (win::FormatMessageW(win::kFormatMessageFlags, nullptr, code, 0, buffer,
                                 kErrorTextCapacity, nullptr) == 0) {
    win::wsprintfW(buffer, u"Error %d", static_cast<int32_t>(code));
  }
  for (size_t n = text::Length(buffer); n > 0 && text::IsSpace(buffer[n - 1]); --n) {
    buffer[n - 1] = 0;
  }
}
