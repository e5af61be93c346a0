// The expansion engine: a typed line's history references expanded by the default rules or by
// bash's, through one view of the shell's history and within one budget. This header is all the
// keys see of it; the units' own headers sit beside it.
#pragma once

#include <cstddef>

// The grammar a line is read by.
enum Dialect {
  kDefaultDialect,  // a line that begins with '!': one reference and its :s modifiers
  kBashDialect,     // bash's history expansion over the whole line
};

enum LineOutcome {
  kLineNoReference,  // nothing to expand: the line runs as typed; nothing allocated
  kLineExpanded,     // `text` holds the new line
  kLineFailed,       // a reference, designator or substitution failed, or a limit was passed
};

// What one expansion of a line made.
struct LineExpansion {
  LineOutcome outcome = kLineNoReference;
  const char16_t* text = nullptr;  // kLineExpanded: the new line, at most 65535 units, terminated
  bool printOnly = false;          // a :p modifier was met (bash's rules)
  bool open = false;      // the text expanded ends where a blank would still belong to its last
                          // reference: inside a substitution's texts, their closing delimiter not
                          // typed, after a bare :s (bash's rules), or inside a !? search not closed
  void* block = nullptr;  // the heap block `text` may live in; ReleaseExpansion
};

// The whole line, for ExpandLine.
constexpr size_t kWholeLine = static_cast<size_t>(-1);

// Expands the text of `line` before `cut` (the cursor; kWholeLine or the line's length: all of
// it) by `dialect`, reading the whole typed line: the expansion is what Enter gives for that
// text alone, except that a reference that begins before `cut` and that the whole line goes on
// past it fails (the cut falls inside it), and that the rules for a '!' in [!...] and ${!...}
// look at the whole line.
//  - The default rules take only a line that begins with '!' (any other is no reference): the
//    text is one reference and its :s modifiers. They take one block of two line buffers when a
//    modifier is present, none else.
//  - Bash's rules read the whole text (bash_line.cpp has the grammar): one block of line buffers
//    and, while they run, one index of the history; none when the text holds no reference.
LineExpansion ExpandLine(Dialect dialect, const char16_t* line, size_t cut = kWholeLine);

// For a line that begins with '!' whose text before `cut` the default rules expand (by
// ExpandLine): whether bash mode reads the line's first reference on past `cut`, so that the cut
// falls inside it (as for "!!" before ":x", "!ec" before ".txt", or "!!:s/a\/b/" before "x/",
// whose :s bash's rules close later). `*open` tells whether a blank typed at `cut` would still
// belong to it: bash's rules read its event as a !? search not closed ("!?foo").
bool BashReadsPast(const char16_t* line, size_t cut, bool* open);

// For a line that begins with '!': whether the default rules read its event on past `cut`, as
// in "!ec$x" before "x", where bash's rules read the event "!ec" and the designator "$".
bool DefaultReadsPast(const char16_t* line, size_t cut);

// Whether bash's rules find a reference in `line`: one scan of it, without the heap or a walk
// of the history. The text before any cursor holds no reference the whole line does not.
bool HoldsBashReference(const char16_t* line);

// Gives back what an expansion took from the heap.
void ReleaseExpansion(LineExpansion* expansion);
