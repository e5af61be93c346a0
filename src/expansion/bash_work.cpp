// The piece of the line's work (bash_work.h): the text of the reference being expanded, which the
// driver, the designators and the modifiers all hand on, so that none of them calls another back.
#include "expansion/bash_work.h"

#include "text/work.h"

void PieceChanged(BashWork* w) {
  w->marks = PathMarks{w->pieceLength, w->pieceLength};
  w->cleanKnown = false;
}

void SwapPiece(BashWork* w, size_t length) {
  char16_t* t = w->own;
  w->own = w->spare;
  w->spare = t;
  w->own[length] = 0;
  w->piece = w->own;
  w->pieceLength = length;
}

void SetPiece(BashWork* w, const char16_t* text, size_t length) {
  w->piece = text;
  w->pieceLength = length;
  PieceChanged(w);
}

bool OwnPiece(BashWork* w) {
  if (w->piece == w->own) return true;
  if (!w->budget.Spend(w->pieceLength)) return false;
  for (size_t k = 0; k < w->pieceLength; ++k) w->spare[k] = w->piece[k];
  work::Done(w->pieceLength);
  SwapPiece(w, w->pieceLength);
  return true;
}
