// Who the plugin is and which shell it runs in: its identity, from which every banner, heading
// and caption is built, and the shell's major version.
#pragma once

#include "core/version.h"  // kVersionMajor, kVersionMinor, kVersionBuild: made from project()

// ==== Identity ====
constexpr const char16_t* kPluginName = u"Quorvin";
constexpr const char16_t* kPluginAuthor = u"Brasklund";
constexpr const char16_t* kPluginEmail = u"quorvin@velloran.org";
constexpr const char16_t* kPluginWebPage = u"https://velloran.org/quorvin";
constexpr const char16_t* kPluginDescription = u"Access command history with a bang!";
constexpr const char16_t* kPluginFunctions = u"quorv,*key";
constexpr const char16_t* kPlatformTag = u"x64";

// ==== The shell's version ====

// The shell's major version: 0 until `InitializePlugin` has read it, then the version when it
// lies between 8 and 100, else 0. Written only by `ProbeHostVersion`; the keystroke handler
// reads it on every call.
extern int HostMajorVersion;
