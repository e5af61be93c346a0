// The stand-in shell: the eleven TakeCmd.dll functions the plugin imports, over an in-memory
// history, a variable table and captured output, plus the controls tests and the stand-in
// shell program use to drive them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace standin {

// ==== History ====
// Kept as the shell keeps it: one buffer of zero-terminated entries, oldest first.

void ClearHistory();
void AddHistory(std::u16string_view entry);
void SetHistory(const std::vector<std::u16string>& entries);
size_t HistoryCount();
std::vector<std::u16string> HistoryEntries();

// How NextHistoryEntry reports the end of the list: by null (the default) or by returning
// the entry it was given.
void SetEndBySelf(bool bySelf);

// ==== Variables for ExpandVariables ====
// Names compare without regard to case. Reset() sets _transient, _pipe and _batch to "0",
// _4ver to "28.02" and removes every other variable.

void SetVariable(std::u16string_view name, std::u16string_view value);
void RemoveVariable(std::u16string_view name);

// ==== Output ====
// Everything written through Printf, QPuts, CrLf and Qprintf is captured, standard output and
// standard error apart. With echo on it is also written, as UTF-8, to the process's own.

std::u16string TakeStdout();
std::u16string TakeStderr();
void SetEcho(bool echo);

// ==== Counters ====

int HonkCount();
int ClearEditLineCount();
// Calls of ExpandVariables: how often the plugin read a variable.
int ExpandVariablesCount();
// Called by honk() in addition to counting (the program rings the terminal's bell).
void SetHonkHook(void (*hook)());
// Makes _stristr answer whatever `hook` returns (null: the real search again), to play a
// shell whose search misbehaves.
void SetStristrHook(char16_t* (*hook)(const char16_t* text, const char16_t* find));

// Makes ExpandVariables and QueryTrueName fill the whole buffer they are handed (the line's
// 65536 units, the true name's 32768) with 'x' and no terminator: a shell that leaves its text
// unended.
void SetFillWithoutTerminator(bool fill);
bool FillsWithoutTerminator();

// Back to the starting state: empty history ending by null, default variables, no output,
// counters at 0, no echo, no hooks, texts terminated.
void Reset();

}  // namespace standin
