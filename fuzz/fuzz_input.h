// Shared by the fuzz targets: a byte reader that turns fuzzer input into the plugin's 16-bit
// texts and registry contents, the check that aborts on a broken invariant, and a reset of
// every process-wide record between two inputs.
#pragma once

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

// Reads fuzzer bytes from the front. Past the end every read gives 0, so any input is valid.
struct Reader {
  const uint8_t* data;  // the input
  size_t size;          // its length in bytes
  size_t at;            // the next byte to read
};

Reader MakeReader(const uint8_t* data, size_t size);
bool AtEnd(const Reader& in);
uint8_t Byte(Reader* in);
uint16_t Unit16(Reader* in);  // two bytes, least significant first
uint32_t Word32(Reader* in);  // four bytes, least significant first

// Reads one text up to a zero byte (consumed) or the end of the input, at most `maxUnits`
// units. Encoding, chosen so that seeds stay readable:
//   0x01-0x7F  that unit itself
//   0x80-0xEF  a unit from a table of awkward ones (no-break space, superscript digits,
//              Latin-1 and Greek letters, surrogates, 0xFFFF, Unicode spaces and digits)
//   0xF0 lo hi       the unit hi:lo itself (skipped when it is 0)
//   0xF1 lo hi k     repeats the last k units (hi:lo) times: long texts from short inputs
//   0xF2-0xFF  '!' (the trigger of every expansion, made more likely)
std::u16string Text(Reader* in, size_t maxUnits);

// The settings record from one byte, every field in range: bits 0-2 the error beep mode
// (modulo 7), bit 3 allow whitespace, bit 4 execute on failure, bit 5 case-insensitive,
// bit 6 counting base. The custom file is empty or the name of a file that does not exist.
SettingsRecord SettingsFrom(uint8_t bits, uint8_t fileChoice);

// Every setting of the record lies in its range.
bool SettingsInRange(const SettingsRecord& s);

// The record holds its terminator within its capacity.
bool CustomFileTerminated(const SettingsRecord& s);

// The six value names the settings use, in the order they are read.
extern const char16_t* const kValueNames[6];

// Fills both registry roots from the input: `records` records of
//   flags: bit 0 root (HKCU/HKLM); bits 1-3 the value name (the six names, one of them in
//          another case, or a stranger); bit 4 the key alone, without a value
//   type:  below 0x80 one of REG_DWORD (twice), REG_SZ, REG_NONE, REG_EXPAND_SZ, REG_BINARY,
//          REG_QWORD, REG_MULTI_SZ; from 0x80 the byte itself
//   size:  the data length in bytes; from 0xF0 a UTF-16 path of 500 + 2 * (size - 0xF0)
//          bytes ending in ".wav" and its terminator, so the 512-byte limit is crossed
//   data:  `size` bytes (fewer when the input ends)
void FillRegistry(Reader* in, int records);

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

// Puts the stand-ins and the plugin's process-wide records back to their starting state.
void ResetWorld();

}  // namespace fuzz
