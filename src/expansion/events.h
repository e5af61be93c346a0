// Events: what follows a '!' and names an entry of the history, as either grammar reads it, and
// the history numbers both share.
#pragma once

#include <cstddef>
#include <cstdint>

#include "expansion/expansion.h"

// The default rules hold a search word and each text of a :s modifier to this many units; bash's
// rules hold them to the line's length.
constexpr size_t kMaxDefaultText = 1023;

enum EventKind {
  kEventNone,       // the text is no event
  kEventNewest,     // !!, and bash's ! before a designator or modifier
  kEventNumber,     // !n !-n !+n !0xN
  kEventPrefix,     // !word: the newest entry that begins with the text
  kEventContains,   // !?word: the newest entry that contains the text (empty: the latest one)
  kEventLineSoFar,  // bash's !#
};

// An event as typed, after its '!'.
struct Event {
  EventKind kind;
  int32_t number;        // kEventNumber: the value read
  bool negative;         // kEventNumber: typed with a '-' (so -0 is no entry)
  const char16_t* text;  // kEventPrefix, kEventContains: the search text, in the line
  size_t length;         // its units
  const char16_t* end;   // the first unit after the event
};

// Reads the event after a '!' at `p` by `dialect`: the default rules read "!", a number, a word
// of letters, digits, '_' and '$' after a letter (at most kMaxDefaultText units), or '?' and such
// a word, after blanks when the settings allow them; bash's rules read their own grammar
// (events.cpp). kEventNone when the text is no event.
Event ReadEvent(Dialect dialect, const char16_t* p);

// Reads a history number (the digits 0-9 with an optional sign, or 0x hexadecimal) at `text`.
// Returns 0 and sets `*value` and `*end`; -1 when `text` does not begin with a number;
// ERANGE (34) when the number lies outside its 32-bit range.
int ParseHistoryNumber(const char16_t* text, int32_t* value, const char16_t** end);

// The position a history number names: from the oldest for a number of 0 or more (the oldest is
// 0 or 1, by the counting base), from the newest for a negative one; -0 names none (position 0).
int64_t PositionOf(int32_t value, bool negative);
