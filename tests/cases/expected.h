// The plugin's texts as the tests expect them, written out here rather than taken from the
// plugin's sources, so that a change to either shows.
#pragma once

#include <cstdint>
#include <string>

namespace expected {

// The settings as the report shows them, in the order of the settings record.
struct Settings {
  uint32_t beep;
  uint32_t allowWhitespace;
  uint32_t executeOnFailure;
  uint32_t caseInsensitive;
  uint32_t countingBase;
  std::u16string file;  // the custom beep file, shown only in mode 6
};

const Settings kDefaults = {1, 1, 1, 0, 0, u""};

const std::u16string kHelpText =
    u"Display and change Quorvin plugin settings. \n"
    u"\n"
    u"QUORV /A: /B: /D /H[n] /I: /Q /R /S /W: /X: /Z:  \r\n"
    u"\n"
    u"\t/A:\tallow whitespace after the first bang \n"
    u"\t/B:\terror beep mode \n"
    u"\t/D\trestore plugin default settings \n"
    u"\t/H[n]\tlist the history numbered as !n recalls it (the newest n) \n"
    u"\t/I:\tcase insensitive searches \n"
    u"\t/Q\tquietly\n"
    u"\t/R\trestore saved settings from the registry \n"
    u"\t/S\tsave the current settings to the registry \n"
    u"\t/W:\tspecify a .WAV file for the error beep \n"
    u"\t/X:\texecute command on failure \n"
    u"\t/Z:\tcounting base (zero or one) \n"
    u"\n"
    u"QUORV with no options displays the current settings.\n";

// The report with the defaults, byte for byte.
const std::u16string kDefaultReport =
    u"\r\nQuorvin v0.70.0 settings:\r\n\n"
    u"  Allow whitespace . . . . . . . . /A : 1   (Yes)\r\n"
    u"  Error beep mode  . . . . . . . . /B : 1   (Default Beep)\r\n"
    u"  Case insensitive . . . . . . . . /I : 0   (No)\r\n"
    u"  Execute on failure . . . . . . . /X : 1   (Yes)\r\n"
    u"  Entries are numbered from  . . . /Z : 0 \r\n";

inline std::u16string Number(uint32_t n) {
  std::u16string digits;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + n % 10));
    n /= 10;
  } while (n != 0);
  return digits.size() < 2 ? digits + u" " : digits;  // left-aligned in two columns
}

inline std::u16string YesNo(uint32_t flag) {
  return flag != 0 ? u"Yes" : u"No";
}

// The report `quorv` prints for `s`.
inline std::u16string Report(const Settings& s) {
  static const char16_t* const kModes[] = {u"None",        u"Default Beep",  u"Asterisk",
                                           u"Exclamation", u"Critical Stop", u"Question",
                                           u"Custom"};
  std::u16string r = u"\r\nQuorvin v0.70.0 settings:\r\n\n";
  r += u"  Allow whitespace . . . . . . . . /A : " + Number(s.allowWhitespace) + u"  (" +
       YesNo(s.allowWhitespace) + u")\r\n";
  r += u"  Error beep mode  . . . . . . . . /B : " + Number(s.beep) + u"  (" +
       (s.beep < 7 ? kModes[s.beep] : u"???") + u")\r\n";
  if (s.beep == 6 && !s.file.empty()) {
    r += u"  Custom error beep filename . . . /W : " + s.file + u"\r\n";
  }
  r += u"  Case insensitive . . . . . . . . /I : " + Number(s.caseInsensitive) + u"  (" +
       YesNo(s.caseInsensitive) + u")\r\n";
  r += u"  Execute on failure . . . . . . . /X : " + Number(s.executeOnFailure) + u"  (" +
       YesNo(s.executeOnFailure) + u")\r\n";
  r += u"  Entries are numbered from  . . . /Z : " + Number(s.countingBase) + u"\r\n";
  return r;
}

inline const std::u16string kSavedToUser =
    u"\r\nSettings saved to the registry (HKCU\\Software\\Velloran\\Quorvin).\r\n";
inline const std::u16string kSavedToMachine =
    u"\r\nSettings saved to the registry (HKLM\\Software\\Velloran\\Quorvin).\r\n";
inline const std::u16string kSaveErrorToUser =
    u"Quorvin plugin: Error saving settings to the registry "
    u"(HKCU\\Software\\Velloran\\Quorvin) :\r\n";
inline const std::u16string kSaveErrorToMachine =
    u"Quorvin plugin: Error saving settings to the registry "
    u"(HKLM\\Software\\Velloran\\Quorvin) :\r\n";

}  // namespace expected
