// The workload the benchmarks and the allocation test share: histories of command lines of
// realistic length, and the reference forms measured on them with the line each must give.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "host/host_api.h"

namespace workload {

// The history sizes measured.
constexpr size_t kHistorySizes[] = {100, 1000, 10000, 100000};

// Length of the one long entry the :s form works on.
constexpr size_t kLongEntryLength = 1000;

// A history of `count` entries (at least 8), oldest first, the same for the same count:
//  - index 0, the oldest, is the only entry that begins with "xcopy" or contains "nightly";
//  - index count/4 is the long entry, the only one that contains "olddir" (near its end);
//  - every other entry is a command line of 10 to 80 units, the newest one of three words or
//    more (the bash-mode forms take words 1 and 2 of it).
std::vector<std::u16string> MakeHistory(size_t count);

// The words of a generated entry as bash mode splits them: blanks separate words, and a text
// in double quotes (to its closing quote, or to the end of an entry cut short inside it) is
// part of its word. The generated entries hold no other unit that splits or groups words.
std::vector<std::u16string> Words(const std::u16string& entry);

// The reference forms.
enum Form {
  kBangBang,        // !!
  kMinusOne,        // !-1
  kMinusHalf,       // !-N/2
  kHalf,            // !N/2
  kPrefix,          // !word, matching only the oldest entry
  kPrefixFolded,    // the same with case-insensitive searches
  kContains,        // !?word, matching only the oldest entry
  kContainsFolded,  // the same with case-insensitive searches
  kSubstitute,      // !N/4:s/old/new/ on the long entry
  // Bash mode: references anywhere in the line, word designators, quick substitution.
  kBashLastWord,  // echo !$: the last word of the newest entry
  kBashWords,     // x !!:1-2 !-2:$: two references, two walks
  kBashQuick,     // ^old^new on the newest entry
  // Bash mode, k references to the newest entry in one line: k walks.
  kBashRefs1,  // x !!
  kBashRefs2,  // x !! !!
  kBashRefs4,  // x !! !! !! !!
  // Bash mode, a line that begins with a bang but is no line of the default rules, which are
  // tried first: !! x
  kBashLeading,
  kFormCount,
};

// One form on one history.
struct Case {
  const char* id;            // short name of the form, for benchmark names
  std::u16string line;       // what the user types (counting base 0, the default)
  std::string readlineLine;  // the same reference for readline (base 1), or empty when
                             // readline has no such form
  std::u16string expected;   // the line after the expansion
  bool caseInsensitive;      // the case-insensitive searches setting it runs under
  bool bashMode;             // runs with bash mode on (the shell variable QUORVIN_EXPAND=bash)
  size_t blocks;             // heap blocks one expansion takes: the line buffers' block and,
                             // for bash mode, the history's index (which may grow in place)
  size_t allowedBuffers;     // line-sized buffers (kLineCapacity units) the first block may hold
};

Case MakeCase(Form form, const std::vector<std::u16string>& history);

// ==== Worst lines ====
// Lines built to make one Enter cost as much as a line can, in bash mode, each over a history
// made for it from MakeHistory: many references in one line, long chains of modifiers, long
// searches, the same search again and again.

constexpr size_t kWorstSizes[] = {10000, 100000};

enum WorstLine {
  kWorstBangs,       // "echo" and 20 000 "!!": the newest entry, "x", again and again
  kWorstMinusThree,  // "echo" and 8 000 " !-3": the third newest entry, "y"
  kWorstBangRun,     // 32 000 '!': 16 000 "!!"
  kWorstEachWord,    // "x !!:Gs/b/b/" and 20 ":&", the newest entry 31 999 words "a" and a "b"
  kWorstLongSearch,  // "x !?" 32 000 'a' "?", an entry of 65 000 'a' half-way back
  kWorstLineSoFar,   // "x" and 13 000 " !#:$"
  kWorstSameSearch,  // "x" and 1 500 " !?cmd9999?", the entry "cmd9999" near the oldest
  kWorstPercent,     // "x" and 2 000 " !?a?:%", the newest entry 40 000 units of words "ab" and "a"
  kWorstSearches32,  // "x" and 32 distinct " !?...?", each found only in one of the oldest entries
  // Lines built against the searches: a long search text that nearly matches at every place of
  // long entries (16 or 64 of them, 65 000 units each, the newest ones), for every kind of
  // search, in both modes and ignoring case (_I1); they fail, or find their text once.
  kWorstContains,           // bash mode: "echo !?" (ab)x16 000 "aa?" over 16 entries of (ab)x32 495
  kWorstContainsI1,         // the same, case-insensitive
  kWorstContainsDefault,    // default rules: "!?" (ab)x510 "aa" over 64 such entries
  kWorstContainsDefaultI1,  // the same, case-insensitive
  kWorstPrefix,             // bash mode: "echo !" (ab)x16 000 "x" over the same 16 entries
  kWorstPrefixDefault,      // default rules: "!" (ab)x511 "x" over them
  kWorstSub,           // bash mode: "!!:s/" a x31 999 "b/x/", the newest entry "echo " a x64 990
  kWorstSubI1,         // the same, case-insensitive
  kWorstSubDefault,    // default rules: "!!:s/" a x1 022 "b/x/" over it
  kWorstSubDefaultI1,  // the same, case-insensitive
  kWorstGlobal,        // bash mode: "x !!:gs/" a x31 999 "b/x/" over it
  kWorstGlobalI1,      // the same, case-insensitive
  kWorstPercentNear,   // bash mode: "x !?" (ab)x16 000 "c?:%", the newest entry (ab)x16 000 "c"
                       // (ab)x16 000: % finds the last occurrence among near misses
  kWorstCount,
};

// One worst line on one history.
struct WorstCase {
  const char* id;                       // short name, for benchmark names
  std::vector<std::u16string> history;  // oldest first
  std::u16string line;                  // what the user types
  std::u16string expected;              // the line after the expansion, or the line itself when
                                        // it fails (the line then runs as typed)
  bool bashMode = true;                 // QUORVIN_EXPAND=bash
  bool caseInsensitive = false;         // quorv /I1
};

WorstCase MakeWorstCase(WorstLine line, size_t size);

// Puts the plugin's settings to their defaults, with the case setting `c` runs under, and
// switches bash mode on or off in the stand-in shell as `c` says.
void ApplySettings(const Case& c);

// Switches bash mode on (the shell variable QUORVIN_EXPAND=bash) or off (no such variable).
void SetBashMode(bool on);

// The edit line and key record one keystroke works on.
struct Keystroke {
  char16_t line[kLineCapacity];  // the shell's edit-line buffer
  char16_t keyName[16];          // empty: the shells measured give key codes
  KeyEvent event;                // points at the two buffers above
};

// Puts `text` on the line and `keyCode` in the record, as the shell does before calling `key`.
void Type(Keystroke* k, const std::u16string& text, int keyCode);

}  // namespace workload
