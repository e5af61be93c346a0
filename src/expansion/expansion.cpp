// The engine's public face: the choice of driver by dialect, and the release of what an
// expansion took.
#include "expansion/expansion.h"

#include <cstdlib>

#include "expansion/drivers.h"

LineExpansion ExpandLine(Dialect dialect, const char16_t* line, const char16_t* rest) {
  if (dialect == kBashDialect) return ExpandBashLine(line, rest);
  if (line[0] != u'!') return LineExpansion{};  // the default rules read no other line
  return ExpandDefaultLine(line);
}

void ReleaseExpansion(LineExpansion* expansion) {
  std::free(expansion->block);
  expansion->block = nullptr;
}
