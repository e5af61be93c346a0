// Bash's character sets, named for the roles they play in reading a line, each defined once and
// each saying which of bash's own sets it mirrors; this shell's quotes and its own use of '('
// are added where they count.
#pragma once

// The blanks that separate the words of a history entry: bash's whitespace for its history
// words (space, tab, line feed).
inline bool IsWordBlank(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\n';
}

// The units that end a word and begin an operator of their own: bash's shell metacharacters
// other than the blanks (; & | < > ( )).
inline bool IsOperatorUnit(char16_t c) {
  return c == u';' || c == u'&' || c == u'|' || c == u'<' || c == u'>' || c == u'(' || c == u')';
}

// The units after which a '#' begins a comment in a line being expanded: bash's history word
// delimiters (blanks and operator units).
inline bool MayPrecedeComment(char16_t c) {
  return IsWordBlank(c) || IsOperatorUnit(c);
}

// A '!' followed by one of these, or by the end of the line, is an ordinary character: bash's
// history_no_expand_chars (space, tab, line feed, carriage return, '='), and '(' for this shell,
// whose "!(" bash would read as a search for an empty text. They differ from the word blanks: a
// carriage return and '=' keep a '!' plain without separating words.
inline bool EndsBang(char16_t c) {
  return c == 0 || c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'=' || c == u'(';
}

// The units that end the text of a !string search (and the end of the line); a '-' ends it only
// after its first unit: bash's blanks and history_search_delimiter_chars (; & | < > ( )), ':' and
// the units that may begin a word designator (^ $ * % -). Bash's own quotes do not end it; this
// shell's (double quote and back-quote) do.
inline bool EndsSearchText(char16_t c) {
  switch (c) {
    case 0:
    case u' ':
    case u'\t':
    case u'\n':
    case u':':
    case u';':
    case u'&':
    case u'|':
    case u'<':
    case u'>':
    case u'(':
    case u')':
    case u'^':
    case u'$':
    case u'*':
    case u'%':
    case u'-':
    case u'"':
    case u'`':
      return true;
    default:
      return false;
  }
}

// The units that begin a word designator with no ':' before it, right after an event: bash's
// ^ $ * - % (after a ':' a digit begins one too).
inline bool BeginsDesignator(char16_t c) {
  return c == u'^' || c == u'$' || c == u'*' || c == u'-' || c == u'%';
}

// This shell's quotes, which protect a '!' and group the words of an entry: the double quote and
// the back-quote (bash's single quote is an ordinary character here).
inline bool IsShellQuote(char16_t c) {
  return c == u'"' || c == u'`';
}

// This shell's escape character: the character after it is ordinary, and the '^' stays.
constexpr char16_t kEscapeCharacter = u'^';
