// The plugin's shared floor, gathered by concern: its identity and the shell's version
// (identity.h), a step of the shell's history (shell_history.h), the settings record and the
// test of a custom beep file (settings_record.h), and the diagnostics every error message goes
// through (diagnostics.h). The history and settings code sit on it; it includes nothing of
// theirs.
#pragma once

#include "core/diagnostics.h"
#include "core/identity.h"
#include "core/settings_record.h"
#include "core/shell_history.h"
