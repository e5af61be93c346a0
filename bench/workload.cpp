// Builds the shared workload: deterministic histories of command lines and the reference
// forms with their expected results.
#include "workload.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "plugin/plugin.h"
#include "settings/settings.h"
#include "shell/standin_shell.h"

namespace workload {

namespace {

constexpr char16_t kOldest[] = u"xcopy /s /e build\\release d:\\archive\\nightly";
constexpr size_t kMinEntry = 10;
constexpr size_t kMaxEntry = 80;

// Commands and arguments of the generated lines. None contains the words the searches and
// the :s look for, so each finds only the entry made for it.
// clang-format off
constexpr const char16_t* kCommands[] = {
    u"dir", u"cd", u"copy", u"move", u"del", u"type", u"echo", u"git status",
    u"git commit -m", u"git log --oneline", u"make", u"cmake --build", u"grep -rn", u"set",
    u"md", u"rd /s /q", u"start", u"notepad", u"ren", u"attrib", u"pushd", u"popd", u"ping",
    u"ipconfig /all", u"tasklist /fi", u"python", u"msbuild", u"ctest --preset",
    u"findstr /i", u"tree /f",
};
constexpr const char16_t* kArguments[] = {
    u"src", u"build", u"*.txt", u"/s", u"/b", u"c:\\users\\ann\\documents", u"report.docx",
    u"%temp%", u"..", u"d:\\projects\\web", u"-la", u"main.cpp", u"readme.md", u"/q",
    u"\"c:\\program files\\tools\"", u"release", u"debug", u"origin", u"HEAD~3", u"-j2",
    u"test_data.csv", u"%path%", u"e:\\photos\\2023\\summer", u"/a:h", u"config.yaml",
    u"localhost", u"\"fix the parser\"", u"logs\\app.log", u"--verbose", u"dist",
};
// clang-format on

// A fixed sequence of pseudo-random numbers (splitmix64), the same on every run.
struct Random {
  uint64_t state;  // advanced by Next
};

uint64_t Next(Random* r) {
  uint64_t z = (r->state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

template <typename T, size_t N>
const T& Pick(Random* r, const T (&items)[N]) {
  return items[Next(r) % N];
}

std::u16string CommandLine(Random* r) {
  const size_t length = kMinEntry + Next(r) % (kMaxEntry - kMinEntry + 1);
  std::u16string line = Pick(r, kCommands);
  while (line.size() < length) {
    line += u' ';
    line += Pick(r, kArguments);
  }
  line.resize(length);
  while (line.back() == u' ') line.pop_back();
  return line;
}

std::u16string LongEntry() {
  std::u16string line = u"copy";
  for (int i = 0; line.size() < kLongEntryLength - 20; ++i) {
    char name[32];
    snprintf(name, sizeof name, " src\\module_%03d.cpp", i);
    for (const char* p = name; *p != 0; ++p) line += static_cast<char16_t>(*p);
  }
  line += u" d:\\olddir\\";
  while (line.size() < kLongEntryLength) line += u'x';
  return line;
}

[[noreturn]] void Fail(const char* what) {
  fprintf(stderr, "workload: %s\n", what);
  abort();
}

std::u16string Number(long long n) {
  char text[24];
  snprintf(text, sizeof text, "%lld", n);
  return std::u16string(text, text + std::char_traits<char>::length(text));
}

std::string Narrow(const std::u16string& s) {
  return std::string(s.begin(), s.end());
}

}  // namespace

std::vector<std::u16string> MakeHistory(size_t count) {
  if (count < 8) Fail("a history needs at least 8 entries");
  Random r{0x5157524Eull + count};
  std::vector<std::u16string> history;
  history.reserve(count);
  history.push_back(kOldest);
  for (size_t i = 1; i < count; ++i) {
    history.push_back(i == count / 4 ? LongEntry() : CommandLine(&r));
  }
  // A line cut short may keep only two words; the bash-mode forms take words 1 and 2.
  while (Words(history.back()).size() < 3) history.back() = CommandLine(&r);
  for (size_t i = 1; i < count; ++i) {
    const std::u16string& e = history[i];
    if (e.compare(0, 5, u"xcopy") == 0 || e.find(u"nightly") != std::u16string::npos ||
        (i != count / 4 && e.find(u"olddir") != std::u16string::npos)) {
      Fail("a generated entry contains a search word");
    }
  }
  return history;
}

std::vector<std::u16string> Words(const std::u16string& entry) {
  std::vector<std::u16string> words;
  size_t i = 0;
  for (;;) {
    while (i < entry.size() && entry[i] == u' ') ++i;
    if (i == entry.size()) return words;
    const size_t start = i;
    while (i < entry.size() && entry[i] != u' ') {
      if (entry[i++] != u'"') continue;
      while (i < entry.size() && entry[i] != u'"') ++i;
      if (i < entry.size()) ++i;
    }
    words.push_back(entry.substr(start, i - start));
  }
}

Case MakeCase(Form form, const std::vector<std::u16string>& h) {
  const long long n = static_cast<long long>(h.size());
  const std::u16string half = Number(n / 2);
  const std::u16string quarter = Number(n / 4);
  const std::u16string& newest = h.back();
  const std::vector<std::u16string> words = Words(newest);
  // Bash mode takes one block for its work per expansion: seven line buffers (the new line, the
  // text of the reference, a spare, the latest old and new texts and search text, a scratch
  // copy), its table of searches and the words of the new line; and one more for the index of
  // the history.
  constexpr size_t kBashBuffers = 10;
  constexpr size_t kBashBlocks = 2;
  Case c{};
  switch (form) {
    case kBangBang:
      c = {"bangbang", u"!!", "", newest, false, false, 0, 0};
      break;
    case kMinusOne:
      c = {"minus1", u"!-1", "", newest, false, false, 0, 0};
      break;
    case kMinusHalf:
      c = {"minushalf", u"!-" + half, "", h[h.size() - h.size() / 2], false, false, 0, 0};
      break;
    case kHalf:  // counting base 0: !k is index k
      c = {"half", u"!" + half, "!" + Narrow(Number(n / 2 + 1)), h[h.size() / 2], false, false, 0,
           0};
      break;
    case kPrefix:
      c = {"prefix", u"!xcopy", "", h[0], false, false, 0, 0};
      break;
    case kPrefixFolded:
      c = {"prefix_ci", u"!XCopy", "!xcopy", h[0], true, false, 0, 0};
      break;
    case kContains:
      c = {"contains", u"!?nightly", "", h[0], false, false, 0, 0};
      break;
    case kContainsFolded:
      c = {"contains_ci", u"!?Nightly", "!?nightly", h[0], true, false, 0, 0};
      break;
    case kSubstitute: {
      std::u16string expected = h[h.size() / 4];
      expected.replace(expected.find(u"olddir"), 6, u"newdir");
      c = {"subst",
           u"!" + quarter + u":s/olddir/newdir/",
           "!" + Narrow(Number(n / 4 + 1)) + ":s/olddir/newdir/",
           expected,
           false,
           false,
           1,
           2};
      break;
    }
    case kBashLastWord:
      c = {"bash_last", u"echo !$", "",          u"echo " + words.back(),
           false,       true,       kBashBlocks, kBashBuffers};
      break;
    case kBashWords:
      c = {"bash_words", u"x !!:1-2 !-2:$",
           "",           u"x " + words[1] + u" " + words[2] + u" " + Words(h[h.size() - 2]).back(),
           false,        true,
           kBashBlocks,  kBashBuffers};
      break;
    case kBashQuick: {
      // The command, the first word of the newest entry, gets an extension: "^dir^dir.exe".
      const std::u16string& command = words[0];
      c = {"bash_quick", u"^" + command + u"^" + command + u".exe",
           "",           command + u".exe" + newest.substr(command.size()),
           false,        true,
           kBashBlocks,  kBashBuffers};
      break;
    }
    case kBashRefs1:
    case kBashRefs2:
    case kBashRefs4: {
      // 1, 2 and 4 references.
      constexpr const char* kIds[] = {"bash_refs1", "bash_refs2", "bash_refs4"};
      const int index = form - kBashRefs1;
      c = {kIds[index], u"x", "", u"x", false, true, kBashBlocks, kBashBuffers};
      for (int i = 0; i < 1 << index; ++i) {
        c.line += u" !!";
        c.expected += u" " + newest;
      }
      break;
    }
    case kBashLeading:
      c = {"bash_lead", u"!! x", "", newest + u" x", false, true, kBashBlocks, kBashBuffers};
      break;
    case kFormCount:
      Fail("no such form");
  }
  // Readline counts from 1 and has no case-insensitive search; elsewhere it reads the line
  // as typed.
  if (c.readlineLine.empty()) c.readlineLine = Narrow(c.line);
  return c;
}

WorstCase MakeWorstCase(WorstLine line, size_t size) {
  if (size < 100) Fail("worst lines need a history of 100 entries or more");
  WorstCase c{"", MakeHistory(size), u"", u""};
  std::vector<std::u16string>& h = c.history;
  auto repeat = [](const std::u16string& text, size_t times) {
    std::u16string out;
    for (size_t i = 0; i < times; ++i) out += text;
    return out;
  };
  switch (line) {
    case kWorstBangs:
      c.id = "bangs";
      h.back() = u"x";
      c.line = u"echo" + repeat(u"!!", 20000);
      c.expected = u"echo" + repeat(u"x", 20000);
      break;
    case kWorstMinusThree:
      c.id = "minus3";
      h[h.size() - 3] = u"y";
      c.line = u"echo" + repeat(u" !-3", 8000);
      c.expected = u"echo" + repeat(u" y", 8000);
      break;
    case kWorstBangRun:
      c.id = "bang_run";
      h.back() = u"x";
      c.line = repeat(u"!", 32000);
      c.expected = repeat(u"x", 16000);
      break;
    case kWorstEachWord:
      // Every word but the last lacks the old text: each must be searched to its end only.
      c.id = "each_word";
      h.back() = repeat(u"a ", 31999) + u"b";
      c.line = u"x !!:Gs/b/b/" + repeat(u":&", 20);
      c.expected = u"x " + h.back();
      break;
    case kWorstLongSearch:
      c.id = "long_search";
      h[h.size() / 2] = std::u16string(65000, u'a');
      c.line = u"x !?" + std::u16string(32000, u'a') + u"?";
      c.expected = u"x " + h[h.size() / 2];
      break;
    case kWorstLineSoFar:
      c.id = "line_so_far";
      c.line = u"x" + repeat(u" !#:$", 13000);
      c.expected = u"x" + repeat(u" x", 13000);
      break;
    case kWorstSameSearch:
      c.id = "same_search";
      h[h.size() / 10] = u"cmd9999";
      c.line = u"x" + repeat(u" !?cmd9999?", 1500);
      c.expected = u"x" + repeat(u" cmd9999", 1500);
      break;
    case kWorstPercent:
      // The word of the search's match is found once, however often % asks for it.
      c.id = "percent";
      h.back() = u"echo " + repeat(u"ab ", 13331) + u"a";
      c.line = u"x" + repeat(u" !?a?:%", 2000);
      c.expected = u"x" + repeat(u" a", 2000);
      break;
    case kWorstSearches32: {
      c.id = "searches32";
      c.line = u"x";
      c.expected = u"x";
      for (int i = 0; i < 32; ++i) {
        const std::u16string word =
            u"target" + std::u16string(1, u'a' + i % 26) + std::u16string(1, u'A' + i / 26) + u"q";
        h[1 + i] = u"echo " + word;
        c.line += u" !?" + word + u"?";
        c.expected += u" echo " + word;
      }
      break;
    }
    case kWorstContains:
    case kWorstContainsI1:
    case kWorstContainsDefault:
    case kWorstContainsDefaultI1:
    case kWorstPrefix:
    case kWorstPrefixDefault: {
      const bool bash = line == kWorstContains || line == kWorstContainsI1 || line == kWorstPrefix;
      const size_t entries = bash ? 16 : 64;
      for (size_t i = 0; i < entries; ++i) h[h.size() - 1 - i] = u"echo " + repeat(u"ab", 32495);
      c.bashMode = bash;
      c.caseInsensitive = line == kWorstContainsI1 || line == kWorstContainsDefaultI1;
      switch (line) {
        case kWorstContains:
        case kWorstContainsI1:
          c.id = line == kWorstContains ? "near_contains" : "near_contains_I1";
          c.line = u"echo !?" + repeat(u"ab", 16000) + u"aa?";
          break;
        case kWorstContainsDefault:
        case kWorstContainsDefaultI1:
          c.id =
              line == kWorstContainsDefault ? "near_contains_default" : "near_contains_default_I1";
          c.line = u"!?" + repeat(u"ab", 510) + u"aa";
          break;
        case kWorstPrefix:
          c.id = "near_prefix";
          c.line = u"echo !" + repeat(u"ab", 16000) + u"x";
          break;
        default:
          c.id = "near_prefix_default";
          c.line = u"!" + repeat(u"ab", 511) + u"x";
          break;
      }
      c.expected = c.line;  // no entry holds the text: the line fails and runs as typed
      break;
    }
    case kWorstSub:
    case kWorstSubI1:
    case kWorstSubDefault:
    case kWorstSubDefaultI1:
    case kWorstGlobal:
    case kWorstGlobalI1: {
      h.back() = u"echo " + std::u16string(64990, u'a');
      c.caseInsensitive =
          line == kWorstSubI1 || line == kWorstSubDefaultI1 || line == kWorstGlobalI1;
      c.bashMode = line != kWorstSubDefault && line != kWorstSubDefaultI1;
      const std::u16string old = line == kWorstSubDefault || line == kWorstSubDefaultI1
                                     ? std::u16string(1022, u'a')
                                     : std::u16string(31999, u'a');
      const char* ids[] = {"near_sub",         "near_sub_I1",
                           "near_sub_default", "near_sub_default_I1",
                           "near_global",      "near_global_I1"};
      c.id = ids[line - kWorstSub];
      c.line =
          (line == kWorstGlobal || line == kWorstGlobalI1 ? u"x !!:gs/" : u"!!:s/") + old + u"b/x/";
      c.expected = c.line;
      break;
    }
    case kWorstPercentNear: {
      c.id = "near_percent";
      h.back() = repeat(u"ab", 16000) + u"c" + repeat(u"ab", 16000);
      c.line = u"x !?" + repeat(u"ab", 16000) + u"c?:%";
      c.expected = u"x " + h.back();
      break;
    }
    case kWorstCount:
      Fail("no such line");
  }
  return c;
}

void ApplySettings(const Case& c) {
  PluginSettings = kDefaultSettings;
  PluginSettings.caseInsensitive = c.caseInsensitive ? 1 : 0;
  HostMajorVersion = 0;
  SetBashMode(c.bashMode);
}

void SetBashMode(bool on) {
  if (on) {
    standin::SetVariable(u"QUORVIN_EXPAND", u"bash");
  } else {
    standin::RemoveVariable(u"QUORVIN_EXPAND");
  }
}

void Type(Keystroke* k, const std::u16string& text, int keyCode) {
  text.copy(k->line, text.size());
  k->line[text.size()] = 0;
  k->keyName[0] = 0;
  k->event = KeyEvent{};
  k->event.key = keyCode;
  k->event.line = k->line;
  k->event.cursor = k->line + text.size();
  k->event.keyName = k->keyName;
}

}  // namespace workload
