// The control exports of the stand-in TakeCmd.dll, through which the end-to-end suite under
// Wine seeds the stand-in shell and reads back what the plugin did to it.
#include <cstddef>
#include <string>

#include "shell/standin_shell.h"

namespace {

// Copies `text` into `out` (capacity units, terminator included) and returns its whole length,
// so that the caller sees when it did not fit.
size_t Hand(const std::u16string& text, char16_t* out, size_t capacity) {
  if (out != nullptr && capacity != 0) {
    const size_t n = text.size() < capacity ? text.size() : capacity - 1;
    text.copy(out, n);
    out[n] = 0;
  }
  return text.size();
}

}  // namespace

extern "C" {

void StandinReset(void) {
  standin::Reset();
}

void StandinAddHistory(const char16_t* entry) {
  standin::AddHistory(entry);
}

void StandinClearHistory(void) {
  standin::ClearHistory();
}

void StandinSetEndBySelf(int bySelf) {
  standin::SetEndBySelf(bySelf != 0);
}

void StandinSetVariable(const char16_t* name, const char16_t* value) {
  standin::SetVariable(name, value);
}

void StandinRemoveVariable(const char16_t* name) {
  standin::RemoveVariable(name);
}

size_t StandinTakeStdout(char16_t* out, size_t capacity) {
  return Hand(standin::TakeStdout(), out, capacity);
}

size_t StandinTakeStderr(char16_t* out, size_t capacity) {
  return Hand(standin::TakeStderr(), out, capacity);
}

int StandinHonkCount(void) {
  return standin::HonkCount();
}

int StandinClearEditLineCount(void) {
  return standin::ClearEditLineCount();
}

int StandinExpandVariablesCount(void) {
  return standin::ExpandVariablesCount();
}

}  // extern "C"
