// The argument splitter of the settings command.
#include "core/core.h"
#include "platform/platform.h"
#include "settings/settings.h"
#include "text/text.h"

ArgumentRecord ArgumentTable;

namespace {

// The last buffer index a character may be stored at, so that its terminator still fits.
constexpr size_t kLastCharacterIndex = kMaxArgumentLength - 2;

// State of one scan, besides the table itself.
struct SplitState {
  int closed;       // tokens closed so far
  int length;       // length of the current token
  size_t index;     // buffer index where the next character goes
  char16_t first;   // the current token's first character (0 while it is empty)
  bool schemeMark;  // the current token holds letter, colon, slash, slash
};

void EndToken(SplitState* s) {
  ArgumentRecord& t = ArgumentTable;
  ++s->closed;
  ++s->index;  // past the zero that ends the token
  if (s->index < kMaxArgumentLength) t.buffer[s->index] = 0;
  s->length = 0;
  s->first = 0;
  s->schemeMark = false;
}

// Stores one character of the current token. False when the buffer overflowed or the
// character would begin a token past the table's last (the message is written here).
bool Store(SplitState* s, char16_t c) {
  ArgumentRecord& t = ArgumentTable;
  if (s->index > kLastCharacterIndex) {
    WriteErrorPrefix();
    Qprintf(StandardError(), u"Buffer overflow: b = %d, MAX_ARG_LEN = %d \r\n",
            static_cast<int>(s->index), static_cast<int>(kMaxArgumentLength));
    return false;
  }
  if (s->closed >= kMaxArguments) {
    WriteErrorPrefix();
    Qprintf(StandardError(), u"Too many arguments: more than %d\r\n", kMaxArguments);
    return false;
  }
  if (s->length == 0) {
    t.starts[s->closed] = &t.buffer[s->index];
    s->first = c;
  }
  t.lengths[s->closed] = ++s->length;
  t.buffer[s->index++] = c;
  t.buffer[s->index] = 0;
  return true;
}

}  // namespace

// Tokens are separated by white space outside quotation marks; the marks themselves are
// dropped and may stand anywhere in a token. A '/' outside quotation marks ends a token that
// begins with '/' and holds at least two characters, and begins the next one, unless the token
// holds a scheme mark (a letter, ':' and "//").
//   /A1/B2           -> /A1, /B2
//   "/W:C:\My x.wav" -> /W:C:\My x.wav
//   /Wab://c/d       -> /Wab://c/d
//   /W:1://c/d       -> /W:1:, //c, /d
// Trailing white space (quoted) is trimmed from every token afterwards.
int SplitArguments(const char16_t* text) {
  if (text == nullptr) return -1;
  ArgumentRecord& t = ArgumentTable;
  t.count = 0;
  for (int i = 0; i < kMaxArguments; ++i) {
    t.starts[i] = nullptr;
    t.lengths[i] = 0;
  }
  t.buffer[0] = 0;

  SplitState s = {0, 0, 0, 0, false};
  bool quoting = false;
  for (size_t i = 0;; ++i) {
    const char16_t c = text[i];
    if (c == u'"') {
      quoting = !quoting;
      continue;
    }
    const bool blank = !quoting && text::IsSpace(c);
    if (blank && s.length == 0) continue;
    if (blank) {
      EndToken(&s);
      continue;
    }
    if (c == u':' && s.length != 0) {
      // The look-ahead stops at the terminator: text[i + 2] is read only after a '/'.
      if (text::IsAlpha(text[i - 1]) && text[i + 1] == u'/' && text[i + 2] == u'/') {
        s.schemeMark = true;
      }
    } else if (c == u'/' && !quoting && !s.schemeMark && s.length >= 2 && s.first == u'/') {
      EndToken(&s);
    } else if (c == 0) {
      if (s.length != 0) ++s.closed;
      break;
    }
    if (!Store(&s, c)) return -1;
  }

  // Store refuses a token past the last, so s.closed is at most kMaxArguments.
  for (int i = 0; i < s.closed; ++i) {
    while (t.lengths[i] > 0 && text::IsSpace(t.starts[i][t.lengths[i] - 1])) {
      t.starts[i][--t.lengths[i]] = 0;
    }
  }
  t.count = s.closed;
  return s.closed;
}
