// The two drivers behind ExpandLine, one a grammar.
#pragma once

#include "expansion/expansion.h"

// The default rules, for a line that begins with '!' (the caller has made sure of it).
LineExpansion ExpandDefaultLine(const char16_t* line);

// Bash's rules over the whole line; `rest` as for ExpandLine.
LineExpansion ExpandBashLine(const char16_t* line, const char16_t* rest);
