// Bash's modifiers that rework the text of a reference in place: the path modifiers :h :t :r :e
// and the quoting of :q and :x. The rest of the modifiers (:s :& :g :G :p) and the reader of a
// chain of them live with the line's work (bash_work.h).
#pragma once

#include <cstddef>

// What is known of a text for :h :t :r :e: from which offset on it holds no separator ('/' or
// '\') and no '.'.
// Kept by the caller while the text changes only through ApplyPathModifier, so that a chain of
// them never scans a unit twice.
struct PathMarks {
  size_t noSlashFrom;  // no '/' at or after this offset (the text's length: nothing known)
  size_t noDotFrom;    // no '.' at or after this offset
};

// Applies :h, :t, :r or :e (`which`) to `text` in place: the part before the last separator
// ('/' or '\'; a drive's root "C:\" stays whole), after it, before the last '.' or from it. A
// text without that unit stays as it is. The units it read and moved.
size_t ApplyPathModifier(char16_t* text, size_t* length, char16_t which, PathMarks* marks);

// Writes `text` in bash's single quotes into `out` (kLineCapacity units), a quote as '\'', and,
// for :x (`splitAtBlanks`), every blank as a word break ' '.
//   0  written, `*outLength` is its length;  -1  it would be longer than 65535 units
int QuoteBashText(const char16_t* text, size_t length, bool splitAtBlanks, char16_t* out,
                  size_t* outLength);
