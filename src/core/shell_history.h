// The shell's history as the plugin walks it: the shell marks the end of its list either by
// null or by handing the newest entry back, and every walk of the plugin reads it through here.
#pragma once

// The entry after `entry`, or null at the end of the list.
char16_t* NextEntry(char16_t* entry);
