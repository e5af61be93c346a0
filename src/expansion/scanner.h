// The line scanner of bash's rules: one step that tells what the unit at a place of the typed
// line is to them, used by every reader of the line, and the rules that decide whether a '!'
// begins a reference.
#pragma once

#include <cstddef>

// What the unit at a place of the line is.
enum StepKind {
  kTextStep,     // an ordinary character
  kQuotedStep,   // a quote of this shell that opens or closes, or a unit between quotes
  kEscapedStep,  // this shell's escape character and the whole character after it, both ordinary
  kCommentStep,  // a '#' that begins a word: the rest of the line is a comment
  kBangStep,     // a '!' outside quotes and comments, not escaped: it may begin a reference
};

// One step: its kind and the units it covers (0 for a comment, which runs to the end).
struct LineStep {
  StepKind kind;
  size_t units;
};

// A scan of one line: the line, and the quote it is inside. Changed only by ScanStep.
struct LineScan {
  const char16_t* line;  // the typed line (a '#' at its start begins a comment)
  char16_t quote;        // the quote the scan is inside, or 0
};

// Grammar of the steps:
//   text     any character the other steps do not take
//   quoted   '"' ... '"' | '`' ... '`'   (no reference inside; an open quote runs to the end)
//   escaped  '^' character               (the shell's escape: both ordinary, the ^ stays)
//   comment  '#' ...                     where the '#' begins the line or follows a blank or
//                                        one of ; & | ( ) < >
//   bang     '!'
//   "echo \"hi!\" ^!x !$ #!!"   text... quoted... escaped(^!) text bang(!$) ... comment
// The step at `p`, which is not the terminator; the scan's quote follows it.
LineStep ScanStep(LineScan* scan, const char16_t* p);

// What the rules for a '!' need to know of the whole typed line, the text after the cursor too:
// read in one scan, and only when a '!' after '[' or '{' first asks.
struct LineFacts {
  const char16_t* line;         // the typed line
  const char16_t* plainFrom;    // where the line's ordinary text begins, after the last reference
  const char16_t* cut;          // where the text expanded ends (Tab's cursor); null: the line's end
  bool read;                    // the scan has been made
  const char16_t* lastBracket;  // the line's last ']', or null
  const char16_t* lastBrace;    // its last '}', or null
  const char16_t* lastBracketBeforeCut;  // the last ']' before the cut, or null
  const char16_t* lastBraceBeforeCut;    // the last '}' before the cut, or null
  // A '!' before the cut was left alone for a ']' or '}' only the text after the cut holds: the
  // text before the cut reads otherwise on its own.
  bool restDecides;
};

// The facts of `line`, expanded up to `cut` (null: whole), before any is read.
LineFacts FactsOf(const char16_t* line, const char16_t* cut);

// Whether the '!' at `p` begins a reference, `made` being the new line so far (`madeLength`
// units). Besides EndsBang, a '!' that the shell itself needs is left alone, by bash's own
// rules:
//   [!...]   a '!' right after a '[' of the line's text with a ']' later in the typed line: a
//            wildcard's negation;
//   ${!...}  a '!' right after a "${" of the line's text with a '}' later in the typed line;
//   $!       a '!' right after a '$' that ends the new line so far, when that '$' is not all it
//            holds (bash reads the line it is making here, so a '$' an expansion ends with
//            counts as well).
// Bash applies the first two only to lines in which no other '!' is a reference; here they hold
// on every line. A '[', '$' or '{' that belongs to a reference before it (the '$' of "!$") is
// none of the shell's.
bool BeginsReference(LineFacts* facts, const char16_t* p, const char16_t* made, size_t madeLength);

// The first unit of a reference that begins before `limit` in the line, or null when there is
// none: a '^' that begins the line, or a '!' that begins a reference.
const char16_t* FirstReference(LineFacts* facts, const char16_t* limit);
