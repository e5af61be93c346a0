// The stand-in for the shell's exports: history, variables, output and beep, kept the way the
// plugin expects TakeCmd.dll to keep them.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>

#include "common/format16.h"
#include "common/utf.h"
#include "host/host_api.h"
#include "platform/platform.h"
#include "shell/standin_shell.h"
#include "text/text.h"
#include "text/work.h"

namespace standin {

namespace {

using VariableTable = std::map<std::u16string, std::u16string>;  // keyed by upper-cased name

VariableTable DefaultVariables() {
  return {{u"_TRANSIENT", u"0"}, {u"_PIPE", u"0"}, {u"_BATCH", u"0"}, {u"_4VER", u"28.02"}};
}

// The stand-in shell's state; changed by the exports and the controls above.
struct ShellState {
  std::u16string history;  // entries, each followed by a zero unit, oldest first
  bool endBySelf = false;  // NextHistoryEntry ends the list by returning its argument
  VariableTable variables = DefaultVariables();  // for ExpandVariables
  std::u16string out;                            // captured standard output
  std::u16string err;                            // captured standard error
  bool echo = false;                             // also write output to the process's own streams
  int honks = 0;                                 // honk() calls
  int clears = 0;                                // ClearEditLine() calls
  int expansions = 0;                            // ExpandVariables() calls
  void (*honkHook)() = nullptr;
  // When set, answers _stristr in place of the search (a shell that misbehaves).
  char16_t* (*stristrHook)(const char16_t* text, const char16_t* find) = nullptr;
  bool fillWithoutTerminator = false;  // ExpandVariables and QueryTrueName fill whole buffers
};

ShellState& State() {
  static ShellState state;
  return state;
}

void Write(bool toError, const std::u16string& text) {
  ShellState& s = State();
  (toError ? s.err : s.out) += text;
  if (s.echo) {
    std::string bytes = ToUtf8(text);
    FILE* stream = toError ? stderr : stdout;
    fwrite(bytes.data(), 1, bytes.size(), stream);
    fflush(stream);
  }
}

bool IsNameUnit(char16_t c) {
  return text::IsAlnum(c) || c == u'_' || c == u'$';
}

// Folds one unit for the case-blind search: per unit, so a match is as long as its pattern.
char16_t FoldUnit(char16_t c) {
  if (c < 0x80) return text::FoldAscii(c);
  char16_t unit[2] = {c, 0};
  win::CharUpperW(unit);
  return unit[0];
}

}  // namespace

void ClearHistory() {
  State().history.clear();
}

void AddHistory(std::u16string_view entry) {
  std::u16string& h = State().history;
  h.append(entry.substr(0, entry.find(u'\0')));
  h.push_back(0);
}

void SetHistory(const std::vector<std::u16string>& entries) {
  ClearHistory();
  for (const std::u16string& e : entries) AddHistory(e);
}

size_t HistoryCount() {
  const std::u16string& h = State().history;
  size_t count = 0;
  for (char16_t c : h) count += c == 0;
  return count;
}

std::vector<std::u16string> HistoryEntries() {
  std::vector<std::u16string> entries;
  const std::u16string& h = State().history;
  for (size_t start = 0; start < h.size();) {
    size_t end = h.find(u'\0', start);
    entries.push_back(h.substr(start, end - start));
    start = end + 1;
  }
  return entries;
}

void SetEndBySelf(bool bySelf) {
  State().endBySelf = bySelf;
}

void SetVariable(std::u16string_view name, std::u16string_view value) {
  State().variables[UpperAscii(name)] = std::u16string(value);
}

void RemoveVariable(std::u16string_view name) {
  State().variables.erase(UpperAscii(name));
}

std::u16string TakeStdout() {
  return std::move(State().out);
}
std::u16string TakeStderr() {
  return std::move(State().err);
}
void SetEcho(bool echo) {
  State().echo = echo;
}
int HonkCount() {
  return State().honks;
}
int ClearEditLineCount() {
  return State().clears;
}
int ExpandVariablesCount() {
  return State().expansions;
}
void SetHonkHook(void (*hook)()) {
  State().honkHook = hook;
}

void SetStristrHook(char16_t* (*hook)(const char16_t* text, const char16_t* find)) {
  State().stristrHook = hook;
}

void Reset() {
  ShellState& s = State();
  s.history.clear();
  s.endBySelf = false;
  s.variables = DefaultVariables();
  s.out.clear();
  s.err.clear();
  s.echo = false;
  s.honks = 0;
  s.clears = 0;
  s.expansions = 0;
  s.honkHook = nullptr;
  s.stristrHook = nullptr;
  s.fillWithoutTerminator = false;
}

void SetFillWithoutTerminator(bool fill) {
  State().fillWithoutTerminator = fill;
}

bool FillsWithoutTerminator() {
  return State().fillWithoutTerminator;
}

}  // namespace standin

using standin::State;

extern "C" {

char16_t* HistoryStart(void) {
  std::u16string& h = State().history;
  return h.empty() ? nullptr : &h[0];
}

char16_t* NextHistoryEntry(char16_t* entry) {
  std::u16string& h = State().history;
  if (entry == nullptr || h.empty()) return nullptr;
  const size_t length = text::Length(entry);
  work::Done(length + 1);  // the shell's own reading, which a walk counts as its floor
  char16_t* next = entry + length + 1;
  if (next >= h.data() + h.size()) return State().endBySelf ? entry : nullptr;
  return next;
}

void ClearEditLine(char16_t* /*line*/) {
  ++State().clears;
}

int ExpandVariables(char16_t* buffer, int /*flag*/) {
  ++State().expansions;
  std::u16string result;
  for (const char16_t* p = buffer; *p != 0;) {
    if (*p != u'%') {
      result.push_back(*p++);
      continue;
    }
    ++p;
    std::u16string name;
    if (*p == u'%') {
      result.push_back(u'%');
      ++p;
      continue;
    }
    if (*p == u'[') {
      const char16_t* close = p + 1;
      while (*close != 0 && *close != u']') ++close;
      if (*close != u']') {  // no closing bracket: the text stays as it is
        result.push_back(u'%');
        continue;
      }
      name.assign(p + 1, close);
      p = close + 1;
    } else {
      while (standin::IsNameUnit(*p)) name.push_back(*p++);
      if (name.empty()) {
        result.push_back(u'%');
        continue;
      }
    }
    auto found = State().variables.find(standin::UpperAscii(name));
    if (found != State().variables.end()) result += found->second;  // unknown: empty
  }
  // The whole expansion, as the shell writes it, up to the capacity of its own line: the
  // plugin's buffer must hold that much.
  if (State().fillWithoutTerminator) {
    for (size_t i = 0; i < kLineCapacity; ++i) buffer[i] = u'x';
    return 0;
  }
  text::Copy(buffer, kLineCapacity, result.c_str());
  return 0;
}

int Printf(const char16_t* format, ...) {
  std::u16string text;
  va_list args;
  va_start(args, format);
  standin::AppendFormatV(text, format, args);
  va_end(args);
  standin::Write(false, text);
  return static_cast<int>(text.size());
}

int Qprintf(void* handle, const char16_t* format, ...) {
  std::u16string text;
  va_list args;
  va_start(args, format);
  standin::AppendFormatV(text, format, args);
  va_end(args);
  standin::Write(handle == win::GetStdHandle(win::kStdErrorHandle), text);
  return static_cast<int>(text.size());
}

int QPuts(const char16_t* text) {
  standin::Write(false, text);
  return 0;
}

void CrLf(void) {
  standin::Write(false, u"\r\n");
}

void honk(void) {
  ++State().honks;
  if (State().honkHook != nullptr) State().honkHook();
}

char16_t* _stristr(const char16_t* text, const char16_t* find) {
  if (standin::State().stristrHook != nullptr) return standin::State().stristrHook(text, find);
  if (text == nullptr || find == nullptr) return nullptr;
  const size_t length = text::Length(find);
  work::Done(length);
  if (length == 0) return const_cast<char16_t*>(text);
  // Every place against the whole text: what a simple search compares, which the plugin must
  // allow for.
  for (const char16_t* p = text; *p != 0; ++p) {
    size_t i = 0;
    while (i < length && p[i] != 0 && standin::FoldUnit(p[i]) == standin::FoldUnit(find[i])) ++i;
    work::Done(i + 1);
    if (i == length) return const_cast<char16_t*>(p);
  }
  return nullptr;
}

}  // extern "C"
