// The one buffer the shell's variables are expanded into. The shell rewrites it in place and
// is never told its size, so it gets the capacity of the shell's own line.
#include "core/diagnostics.h"
#include "text/text.h"

namespace {

// The text being expanded and, after ExpandVariables, its expansion. Written only by
// ExpandShellText; its result is read by the caller before the next call. Static, not on the
// shell's stack, for its size.
char16_t ShellText[kLineCapacity];

}  // namespace

const char16_t* ExpandShellText(const char16_t* text) {
  // Terminated, not zero-filled: the shell reads to the terminator, and the keystroke path
  // must not pay for clearing 128 KB on every call.
  text::Copy(ShellText, kLineCapacity, text);
  ExpandVariables(ShellText, 1);
  // A shell that fills the whole buffer leaves its text unended: it ends in the last unit.
  ShellText[kLineCapacity - 1] = 0;
  return ShellText;
}
