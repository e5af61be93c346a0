// The expansion engine: a typed line's history references expanded by the default rules or by
// bash's, through one view of the shell's history and within one budget. This header is all the
// keys see of it; the units' own headers sit beside it.
#pragma once

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
  bool openSubstitution = false;   // the line ends inside a substitution's texts, its closing
                                   // delimiter not typed
  void* block = nullptr;           // the heap block `text` may live in; ReleaseExpansion
};

// Expands `line` by `dialect`.
//  - The default rules take only a line that begins with '!' (any other is no reference): the
//    whole line is one reference and its :s modifiers. They take one block of two line buffers
//    when a modifier is present, none else.
//  - Bash's rules read the whole line (bash_line.cpp has the grammar): one block of line buffers
//    and, while it runs, one index of the history; none when the line holds no reference.
// When `line` is the text before the cursor, `rest` is the typed line's text after it, which the
// rules for a '!' in [!...] and ${!...} look at as well.
LineExpansion ExpandLine(Dialect dialect, const char16_t* line, const char16_t* rest = nullptr);

// Whether bash's rules find a reference in `line`: one scan of it, without the heap or a walk
// of the history. The text before any cursor holds no reference the whole line does not.
bool HoldsBashReference(const char16_t* line);

// Gives back what an expansion took from the heap.
void ReleaseExpansion(LineExpansion* expansion);
