// The engine's public face: the choice of driver by dialect, and the release of what an
// expansion took.
#include "expansion/expansion.h"

#include <cstdlib>

#include "expansion/charsets.h"
#include "expansion/drivers.h"
#include "expansion/events.h"
#include "expansion/substitution.h"
#include "host/host_api.h"
#include "text/text.h"

LineExpansion ExpandLine(Dialect dialect, const char16_t* line, size_t cut) {
  LineExpansion x;
  // Every text read from the line fits a line-sized buffer, and every offset 16 bits, only
  // because the line does; a line that fills the shell's buffer unended is not read past it.
  const size_t length = text::BoundedLength(line, kLineCapacity);
  if (length > kMaxLineLength) {
    if (dialect == kBashDialect || line[0] == u'!') x.outcome = kLineFailed;
    return x;
  }
  if (cut > length) cut = length;
  if (dialect == kBashDialect) return ExpandBashLine(line, cut);
  if (line[0] != u'!') return x;  // the default rules read no other line
  return ExpandDefaultLine(line, cut);
}

bool BashReadsPast(const char16_t* line, size_t cut, bool* open) {
  const char16_t* at = line + cut;
  const Event event = ReadEvent(kBashDialect, line + 1);
  // A !? search that runs to the cut, no '?' typed: a blank typed there would be part of it.
  *open = event.kind == kEventContains && event.end == at && event.text + event.length == at;
  if (*at == 0) return false;
  if (event.end > at) return true;
  // A :s of the leading chain that bash's rules read closed past the default rules' chain, which
  // the cut ends, goes on past the cut.
  if (event.end == ReadEvent(kDefaultDialect, line + 1).end) {
    TypedSubstitution sub;
    for (const char16_t* p = event.end; p < at && p[0] == u':' && p[1] == u's'; p = sub.end) {
      if (!ReadLeadingSubstitution(p + 2, at, &sub)) return sub.end != nullptr && sub.end > at;
    }
  }
  // A designator or modifier that goes on from the cut: after the event, ^ $ * - % or ':'; after
  // the default rules' modifiers, another ':'.
  if (*at == u':') return true;
  return event.end == at && BeginsDesignator(*at);
}

bool DefaultReadsPast(const char16_t* line, size_t cut) {
  return ReadEvent(kDefaultDialect, line + 1).end > line + cut;
}

void ReleaseExpansion(LineExpansion* expansion) {
  std::free(expansion->block);
  expansion->block = nullptr;
}
