// The work of one line by bash's rules, shared by its driver (bash_line.cpp), its designators
// (designators.cpp) and its modifiers (modifiers.cpp): the line's buffers, and what earlier
// references of the line leave for later ones. Nothing of it survives the line.
#pragma once

#include <cstddef>

#include "expansion/budget.h"
#include "expansion/history_view.h"
#include "expansion/modifiers.h"
#include "expansion/scanner.h"
#include "expansion/substitution.h"
#include "expansion/words.h"

// What is known of the words of an entry.
struct PieceWords {
  size_t count;      // its words
  size_t lastStart;  // the span of the last one
  size_t lastEnd;
};

struct BashWork {
  LineFacts facts;
  Budget budget;
  HistoryView view;           // indexed at the first event that needs the history
  char16_t* out;              // the new line so far; the start of the heap block
  size_t outLength;           // units in `out`
  const char16_t* piece;      // the text of the reference being expanded: in `own`, or where it
                              // was found (an entry, the new line), until it must change
  size_t pieceLength;         // units in `piece`
  char16_t* own;              // the line buffer the piece is written into
  char16_t* spare;            // where the next step writes; then it becomes `own`
  const char16_t* lastEntry;  // the entry taken last, and its length: taking it again costs
  size_t lastEntryLength;     // nothing more
  const char16_t* wordsOf;    // the entry whose words `pieceWords` counts, and its length
  size_t wordsOfLength;
  PieceWords pieceWords;
  char16_t* scratch;            // a terminated copy of a span for the shell's search
  char16_t* oldText;            // the old text of the latest substitution (for :& and an empty old)
  size_t oldLength;             // its units; 0 while the line has had no substitution
  Pattern oldPattern;           // the same, prepared for the searches of the substitution
  char16_t* newText;            // its new text, each '&' already replaced by the old text
  size_t newLength;             // its units
  bool newTooLong;              // the new text alone would not fit in a line
  const char16_t* searchTyped;  // the latest !?text? search text, in the typed line
  char16_t* search;             // the same, terminated for the shell's search
  size_t searchLength;          // its units; 0 while the line has had no such search
  const char16_t* searchEntry;  // the entry that search found
  SearchSlot* searchSlot;       // its slot in the view's table of searches, or null
  bool matchKnown;              // matchedWord is found for the latest search event
  const char16_t* matchedWord;  // for %: the word of searchEntry where the search text matched
  size_t matchedLength;         // its units (0: it matched between words)
  WordSpan* outWords;           // the words of `out` that no later text can change, then one more
  size_t outWordCount;          // those words
  size_t outSplitFrom;          // where splitting `out` goes on
  bool outCommented;            // a word of `out` began a comment: no words after it, ever
  PathMarks marks;              // what :h :t :r :e know of the piece
  size_t cleanFrom;             // no occurrence of the old text begins before this offset of the
                                // piece (after a first-occurrence substitution, for :&)
  bool cleanKnown;              // cleanFrom holds for the piece as it is
  bool printOnly;               // a :p modifier was met
  bool open;                    // what was read last leaves a blank after it to the reference:
                                // a substitution or a !? search not closed, or a bare :s
};

// ==== The piece (bash_work.cpp) ====

// The piece has changed in a way the path and occurrence knowledge cannot follow.
void PieceChanged(BashWork* w);

// Makes the spare buffer, which holds `length` new units, the piece.
void SwapPiece(BashWork* w, size_t length);

// Makes `length` units of `text`, which stay as they are for the rest of the line, the piece:
// nothing is copied until the piece must change.
void SetPiece(BashWork* w, const char16_t* text, size_t length);

// Copies the piece into a buffer of the line's, where it may be changed in place; false when the
// budget runs out.
bool OwnPiece(BashWork* w);

// ==== Designators (designators.cpp) ====

// Applies the word designator at `p` to the piece, or to the new line so far for !#
// (`lineSoFar`): the position after it, or null on a failure.
const char16_t* ApplyDesignator(BashWork* w, const char16_t* p, bool lineSoFar);

// ==== Modifiers (modifiers.cpp) ====

// Applies the modifiers at `p` (each after a ':') to the piece: the position after them, or null
// on a failure. With `defaultFirst` (the first reference of a line that begins with '!'), the :s
// modifiers that lead the chain are read as the default rules read them (their '&' and '\' are
// ordinary) unless bash's reading closes past them (ReadLeadingSubstitution), so that what
// follows them, a :p or a blank, never changes what they mean.
const char16_t* ApplyModifiers(BashWork* w, const char16_t* p, bool defaultFirst);

// Reads a substitution's texts at `p` (at its delimiter) into the line's substitution state: the
// position after them, or null.
const char16_t* TakeSubstitution(BashWork* w, const char16_t* p);

// Applies the line's latest substitution to the piece in `scope`; false when it fails.
bool ApplySubstitution(BashWork* w, SubstituteScope scope);
