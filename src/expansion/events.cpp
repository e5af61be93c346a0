// Events of both grammars as typed, and the history numbers they share.
#include "expansion/events.h"

#include <cerrno>

#include "core/settings_record.h"
#include "expansion/charsets.h"
#include "text/text.h"

namespace {

bool IsWordUnit(char16_t c) {
  return text::IsAlnum(c) || c == u'_' || c == u'$';
}

// Reads a number at `p` into `event`; kEventNone when it is out of range.
Event ReadNumber(const char16_t* p) {
  Event event = {kEventNone, 0, p[0] == u'-', nullptr, 0, p};
  if (ParseHistoryNumber(p, &event.number, &event.end) == 0) event.kind = kEventNumber;
  return event;
}

// The default rules' event, after the first '!' of the line.
Event ReadDefaultEvent(const char16_t* p) {
  Event none = {kEventNone, 0, false, nullptr, 0, p};
  if (*p == u'!') return {kEventNewest, 0, false, nullptr, 0, p + 1};
  if (PluginSettings.allowWhitespace != 0) {
    while (text::IsSpace(*p)) ++p;
  }
  if (text::IsDigit(p[0]) || ((p[0] == u'+' || p[0] == u'-') && text::IsDigit(p[1]))) {
    return ReadNumber(p);
  }
  const bool containment = p[0] == u'?' && text::IsAlpha(p[1]);
  if (!containment && !text::IsAlpha(p[0])) return none;
  if (containment) ++p;
  const char16_t* start = p;
  while (IsWordUnit(*p)) ++p;
  const size_t length = static_cast<size_t>(p - start);
  // A word the comparison cannot hold whole is refused: compared on its first units only, it
  // could recall an entry the user did not name.
  if (length > kMaxDefaultText) return none;
  return {containment ? kEventContains : kEventPrefix, 0, false, start, length, p};
}

// Bash's event, after a '!':
//   !             the newest entry
//   #             the new line so far
//   n  -n  +n  0xN   by number, Quorvin's numbering (ParseHistoryNumber, PositionOf)
//   ?text?  ?text    the newest entry that contains text (to '?' or the end of the line; an
//                    empty text is the line's latest search text)
//   text          the newest entry that begins with text (EndsSearchText ends it)
//   ^ $ * % :     (not consumed) the newest entry, with that designator or modifier
Event ReadBashEvent(const char16_t* p) {
  Event none = {kEventNone, 0, false, nullptr, 0, p};
  if (*p == u'!') return {kEventNewest, 0, false, nullptr, 0, p + 1};
  if (*p == u'#') return {kEventLineSoFar, 0, false, nullptr, 0, p + 1};
  if (text::IsAsciiDigit(*p) || ((*p == u'-' || *p == u'+') && text::IsAsciiDigit(p[1]))) {
    return ReadNumber(p);
  }
  if (*p == u'?') {
    const char16_t* start = ++p;
    while (*p != 0 && *p != u'?') ++p;
    const size_t length = static_cast<size_t>(p - start);
    if (*p == u'?') ++p;
    return {kEventContains, 0, false, start, length, p};
  }
  // A '-' before no digit begins a search text.
  if ((BeginsDesignator(*p) && *p != u'-') || *p == u':') {
    return {kEventNewest, 0, false, nullptr, 0, p};
  }
  const char16_t* start = p;
  if (*p == u'-') ++p;  // a search text may begin with '-'
  while (!EndsSearchText(*p)) ++p;
  const size_t length = static_cast<size_t>(p - start);
  if (length == 0) return none;
  return {kEventPrefix, 0, false, start, length, p};
}

}  // namespace

Event ReadEvent(Dialect dialect, const char16_t* p) {
  return dialect == kDefaultDialect ? ReadDefaultEvent(p) : ReadBashEvent(p);
}

int ParseHistoryNumber(const char16_t* text, int32_t* value, const char16_t** end) {
  errno = 0;
  const char16_t* stop = text;
  int32_t number;
  if (text[0] == u'0' && (text[1] == u'x' || text[1] == u'X') && text::IsAsciiXDigit(text[2])) {
    number = static_cast<int32_t>(text::ToUnsigned32(text + 2, &stop, 16));
  } else if (text::IsAsciiDigit(text[0]) ||
             ((text[0] == u'-' || text[0] == u'+') && text::IsAsciiDigit(text[1]))) {
    number = text::ToSigned32(text, &stop, 10);
  } else {
    return -1;
  }
  if (errno != 0) return errno;
  *value = number;
  *end = stop;
  return 0;
}

int64_t PositionOf(int32_t value, bool negative) {
  if (negative && value == 0) return 0;  // -0 counts back no entries from the newest: none
  int64_t position = value;
  if (position >= 0 && PluginSettings.countingBase == 0) position += 1;
  return position;
}
