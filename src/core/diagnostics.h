// What every message of the plugin goes through: the expansion of the shell's variables, the
// standard error handle, the error prefix and the text of a system error.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/host_api.h"

// ==== The shell's variables ====

// Copies `text` into one process-wide buffer of kLineCapacity units, expands the shell's
// variables in it in place, and returns the buffer (valid until the next call), whose last unit
// is always a terminator. Everything runs on the shell's thread.
const char16_t* ExpandShellText(const char16_t* text);

// ==== Diagnostics ====
constexpr size_t kErrorTextCapacity = 1024;

// The process's standard error handle, fetched anew for every write: no handle is kept.
void* StandardError();

// Writes "Quorvin plugin: " and, inside a batch file, "name [line]  " to standard error.
void WriteErrorPrefix();

// The one-line text of a system error code into `buffer` (kErrorTextCapacity units), without
// white space at its end.
void FormatSystemError(uint32_t code, char16_t* buffer);
