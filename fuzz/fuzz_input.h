// Shared by the fuzz targets: the plugin's 16-bit texts, settings and registry contents made
// from fuzzer input, the check that aborts on a broken invariant, and a reset of every
// process-wide record between two inputs.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "settings/settings.h"

// Aborts with a message when an invariant does not hold, so that libFuzzer keeps the input.
#define FUZZ_CHECK(condition, what)                                                               \
  do {                                                                                            \
    if (!(condition)) {                                                                           \
      std::fprintf(stderr, "invariant broken: %s\n  (%s) at %s:%d\n", what, #condition, __FILE__, \
                   __LINE__);                                                                     \
      std::abort();                                                                               \
    }                                                                                             \
  } while (0)

namespace fuzz {

// Inputs are read with clang's FuzzedDataProvider: every choice and number from the end of the
// input, one byte each unless said otherwise, and texts and registry data from the front. What
// it does not do is done here: the encoding of texts with its table of awkward units and its
// repeat code, and the settings records and registry contents built from its values.

// Decodes one text of at most `maxUnits` units (the rest is dropped). The bytes are those of
// FuzzedDataProvider::ConsumeRandomLengthString: they run to a backslash followed by any other
// byte (both consumed) or to the end of the input, and two backslashes stand for one. Each byte
// then stands for units, chosen so that seeds stay readable:
//   0x00       nothing (a zero unit would end the text early)
//   0x01-0x7F  that unit itself
//   0x80-0xEF  a unit from a table of awkward ones (no-break space, superscript digits,
//              Latin-1 and Greek letters, surrogates, 0xFFFF, Unicode spaces and digits)
//   0xF0 lo hi       the unit hi:lo itself (skipped when it is 0)
//   0xF1 lo hi k     repeats the last k units (hi:lo) times: long texts from short inputs
//   0xF2-0xFF  '!' (the trigger of every expansion, made more likely)
// A byte missing after 0xF0 or 0xF1 counts as 0.
std::u16string Text(FuzzedDataProvider* in, size_t maxUnits);

// The same encoding over all the bytes that remain, backslashes as they are: the last text of
// an input.
std::u16string LastText(FuzzedDataProvider* in, size_t maxUnits);

// A settings record, every field in range, from six values: the error beep mode, allow
// whitespace, execute on failure, case-insensitive, the counting base, and the custom file:
// empty or the name of one of three files that do not exist.
SettingsRecord SettingsFrom(FuzzedDataProvider* in);

// Every setting of the record lies in its range.
bool SettingsInRange(const SettingsRecord& s);

// The record holds its terminator within its capacity.
bool CustomFileTerminated(const SettingsRecord& s);

// The six value names the settings use, in the order they are read.
extern const char16_t* const kValueNames[6];

// Fills both registry roots from the input, with at most `records` records, until the input
// ends. Each record takes from the end
//   root:  HKCU or HKLM
//   alone: the key alone, without a value (the record ends here)
//   name:  0-7, the value name: the six names, one of them in another case, or a stranger
//   type:  below 0x80 one of REG_DWORD (twice), REG_SZ, REG_NONE, REG_EXPAND_SZ, REG_BINARY,
//          REG_QWORD, REG_MULTI_SZ; from 0x80 the byte itself
//   size:  the data length in bytes; from 0xF0 a UTF-16 path of 500 + 2 * (size - 0xF0)
//          bytes ending in ".wav" and its terminator, so the 512-byte limit is crossed
// and below 0xF0 its `size` bytes of data from the front (fewer when the input ends).
void FillRegistry(FuzzedDataProvider* in, int records);

// What a root holds under the settings key: whether the key exists, and each of the six
// values with whether it is present. Read around the stand-in's faults.
struct KeySnapshot {
  bool exists;
  bool present[6];
  uint32_t types[6];
  std::vector<uint8_t> data[6];
};
KeySnapshot Snapshot(win::HKEY root);
bool SameSnapshot(const KeySnapshot& a, const KeySnapshot& b);

// Seeds are checked by printing what a target read from them: with QUORVIN_FUZZ_SHOW set in
// the environment, each value read is written to standard error as a line "name=value"; a text
// in double quotes, with \\, \" and \uXXXX for a backslash, a quotation mark and any unit
// outside printable ASCII.
bool Showing();
void Show(const char* name, long long value);
void Show(const char* name, const std::u16string& text);

// Puts the stand-ins and the plugin's process-wide records back to their starting state.
void ResetWorld();

}  // namespace fuzz
