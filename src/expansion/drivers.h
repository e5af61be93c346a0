// The two drivers behind ExpandLine, one a grammar.
#pragma once

#include "expansion/expansion.h"

// The default rules, for a line that begins with '!' (the caller has made sure of it), of at most
// 65535 units; `cut` at most its length, as for ExpandLine.
LineExpansion ExpandDefaultLine(const char16_t* line, size_t cut);

// Bash's rules over the line's text before `cut`, as for ExpandDefaultLine.
LineExpansion ExpandBashLine(const char16_t* line, size_t cut);
