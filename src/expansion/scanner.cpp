// The line scanner of bash's rules and the rules for a '!'.
#include "expansion/scanner.h"

#include "expansion/charsets.h"
#include "expansion/expansion.h"
#include "host/host_api.h"
#include "text/text.h"
#include "text/work.h"

namespace {

void ReadLineFacts(LineFacts* facts) {
  facts->read = true;
  const char16_t* p = facts->line;
  for (; *p != 0; ++p) {
    if (*p == u']') facts->lastBracket = p;
    if (*p == u'}') facts->lastBrace = p;
    if (p + 1 == facts->cut) {
      facts->lastBracketBeforeCut = facts->lastBracket;
      facts->lastBraceBeforeCut = facts->lastBrace;
    }
  }
  work::Done(static_cast<size_t>(p - facts->line));
}

// Whether the cut falls after the '!' at `p` and before the closer that leaves it alone, none
// standing between them (`closerBeforeCut`: the last one before the cut).
bool CutBefore(const LineFacts* facts, const char16_t* p, const char16_t* closerBeforeCut) {
  return facts->cut != nullptr && p < facts->cut &&
         (closerBeforeCut == nullptr || closerBeforeCut < p);
}

}  // namespace

LineStep ScanStep(LineScan* scan, const char16_t* p) {
  if (scan->quote != 0) {
    if (*p == scan->quote) scan->quote = 0;
    return {kQuotedStep, 1};
  }
  if (*p == u'#' && (p == scan->line || MayPrecedeComment(p[-1]))) return {kCommentStep, 0};
  if (IsShellQuote(*p)) {
    scan->quote = *p;
    return {kQuotedStep, 1};
  }
  if (*p == kEscapeCharacter && p[1] != 0) return {kEscapedStep, 1 + text::CharUnits(p + 1)};
  return {*p == u'!' ? kBangStep : kTextStep, 1};
}

LineFacts FactsOf(const char16_t* line, const char16_t* cut) {
  return {line, line, cut, false, nullptr, nullptr, nullptr, nullptr, false};
}

bool BeginsReference(LineFacts* facts, const char16_t* p, const char16_t* made, size_t madeLength) {
  if (*p != u'!' || EndsBang(p[1])) return false;
  const size_t plain = static_cast<size_t>(p - facts->plainFrom);  // text units before the '!'
  if (p > facts->line && (p[-1] == u'[' || p[-1] == u'{') && !facts->read) ReadLineFacts(facts);
  if (plain > 0 && p[-1] == u'[' && facts->lastBracket > p) {
    facts->restDecides = facts->restDecides || CutBefore(facts, p, facts->lastBracketBeforeCut);
    return false;
  }
  if (plain > 1 && p[-1] == u'{' && p[-2] == u'$' && facts->lastBrace > p) {
    facts->restDecides = facts->restDecides || CutBefore(facts, p, facts->lastBraceBeforeCut);
    return false;
  }
  if (madeLength > 1 && made[madeLength - 1] == u'$') return false;
  return true;
}

const char16_t* FirstReference(LineFacts* facts, const char16_t* limit) {
  const char16_t* line = facts->line;
  if (line[0] == u'^' && limit > line) return line;
  LineScan scan = {line, 0};
  for (const char16_t* p = line; p < limit && *p != 0;) {
    const LineStep step = ScanStep(&scan, p);
    if (step.kind == kCommentStep) break;
    if (step.kind == kBangStep && BeginsReference(facts, p, line, static_cast<size_t>(p - line))) {
      return p;
    }
    p += step.units;
  }
  return nullptr;
}

bool HoldsBashReference(const char16_t* line) {
  // Most lines hold no '!' at all: one plain scan tells, before the line scanner's steps.
  if (line[0] != u'^') {
    const char16_t* p = line;
    while (*p != 0 && *p != u'!') ++p;
    if (*p == 0) return false;
  }
  LineFacts facts = FactsOf(line, nullptr);
  return FirstReference(&facts, line + kLineCapacity) != nullptr;
}
