// `quorv /H`: the shell's history, oldest first, each entry beside the number `!n` recalls it by.
#include "core/core.h"
#include "settings/settings.h"
#include "text/text.h"

namespace {

// Digits of the largest number a line can show (a 64-bit count of entries).
constexpr size_t kNumberCapacity = 20;
// The number, two blanks, an entry as long as the shell's line, CR LF and the terminator.
constexpr size_t kListLineCapacity = kNumberCapacity + 2 + kMaxLineLength + 2 + 1;

// The line being written. Handed to the shell, and line-sized: kept off the shell's stack.
// Written only by ListHistory, one line at a time.
char16_t ListLine[kListLineCapacity];

size_t DigitCount(uint64_t number) {
  size_t digits = 1;
  for (; number >= 10; number /= 10) ++digits;
  return digits;
}

// Writes `number` right-aligned in the first `width` units of `out` (width holds every digit).
void WriteNumber(uint64_t number, size_t width, char16_t* out) {
  size_t at = width;
  do {
    out[--at] = static_cast<char16_t>(u'0' + number % 10);
    number /= 10;
  } while (number != 0);
  while (at > 0) out[--at] = u' ';
}

// Where a copy of `entry` ends: the whole entry, or, past the shell's line (which no entry of
// the shell's own exceeds), the last whole character that fits.
size_t ShownLength(const char16_t* entry) {
  size_t length = text::BoundedLength(entry, kLineCapacity);
  if (length > kMaxLineLength) {
    length = kMaxLineLength;
    if (text::SplitsPair(entry, length)) --length;
  }
  return length;
}

}  // namespace

void ListHistory(uint32_t newest) {
  // Two walks, each as `!n` steps: the first counts, so that the numbers can be aligned and the
  // newest `newest` found; the second writes.
  uint64_t count = 0;
  for (char16_t* entry = HistoryStart(); entry != nullptr; entry = NextEntry(entry)) ++count;
  const uint64_t shown = count < newest ? count : newest;
  if (shown == 0) return;

  const uint64_t base = PluginSettings.countingBase;
  const size_t width = DigitCount(count - 1 + base);
  const uint64_t first = count - shown;
  char16_t* entry = HistoryStart();
  for (uint64_t i = 0; i < first && entry != nullptr; ++i) entry = NextEntry(entry);
  for (uint64_t i = first; i < count && entry != nullptr; ++i, entry = NextEntry(entry)) {
    WriteNumber(i + base, width, ListLine);
    ListLine[width] = u' ';
    ListLine[width + 1] = u' ';
    char16_t* copy = ListLine + width + 2;
    const size_t length = ShownLength(entry);
    text::CopyN(copy, kListLineCapacity - width - 2, entry, length);
    copy[length] = u'\r';
    copy[length + 1] = u'\n';
    copy[length + 2] = 0;
    // The entry is text, never a format: %PATH% and %s are written as typed.
    QPuts(ListLine);
  }
}
