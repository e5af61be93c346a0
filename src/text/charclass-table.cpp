// The classes Windows gives units of the BMP, read from a table made once from the system's own
// (charclass-table.inc), so that a build without Windows classifies as the DLL does.
#include <cstddef>
#include <cstdint>

#include "text/text.h"

namespace text {

namespace {

// One run of units of equal classes; it ends where the next row begins.
struct ClassRow {
  char16_t first;      // the run's first unit
  unsigned char bits;  // the class bits of every unit of the run
};

constexpr ClassRow kRows[] = {
#include "text/charclass-table.inc"
};

constexpr size_t kRowCount = sizeof kRows / sizeof kRows[0];
constexpr unsigned kBlocks = 256;  // blocks of 256 units, by a unit's high byte

constexpr bool RowsAreWhole() {
  if (kRows[0].first != 0) return false;
  for (size_t r = 0; r < kRowCount; ++r) {
    if (kRows[r].bits > (kSpace | kDigit | kAlpha | kPunct | kXDigit)) return false;
    if (r > 0 && kRows[r].first <= kRows[r - 1].first) return false;
  }
  return true;
}
static_assert(RowsAreWhole(), "the rows begin at unit 0, ascend, and hold class bits only");
static_assert(kRowCount <= UINT16_MAX, "a row's index fits the block index");

// For each block, the row that holds its first unit; entry kBlocks is the last row. A unit of
// block b lies in one of the rows from entry b to entry b + 1, at most a few dozen, so the
// search below takes a handful of steps wherever the unit is.
struct BlockIndex {
  uint16_t row[kBlocks + 1];
};

constexpr BlockIndex MakeBlockIndex() {
  BlockIndex index{};
  size_t r = 0;
  for (unsigned block = 0; block < kBlocks; ++block) {
    while (r + 1 < kRowCount && kRows[r + 1].first <= block * 256) ++r;
    index.row[block] = static_cast<uint16_t>(r);
  }
  index.row[kBlocks] = static_cast<uint16_t>(kRowCount - 1);
  return index;
}

constexpr BlockIndex kBlockIndex = MakeBlockIndex();

}  // namespace

unsigned TableClassOf(char16_t c) {
  const unsigned block = c >> 8;
  // The row that holds c is the last one, from `low` to `high`, whose first unit is not past c;
  // kRows[low] never is.
  size_t low = kBlockIndex.row[block];
  size_t high = kBlockIndex.row[block + 1];
  while (low < high) {
    const size_t middle = (low + high + 1) / 2;
    if (kRows[middle].first <= c) {
      low = middle;
    } else {
      high = middle - 1;
    }
  }
  return kRows[low].bits;
}

}  // namespace text
