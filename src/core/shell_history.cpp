// One step of a walk of the shell's history.
#include "core/shell_history.h"

#include "host/host_api.h"

char16_t* NextEntry(char16_t* entry) {
  char16_t* next = NextHistoryEntry(entry);
  return next == entry ? nullptr : next;
}
