// The harness's bookkeeping: the case list, the failures of the running case and the summary.
#include "harness.h"

#include <cstdio>
#include <vector>

namespace suite {

namespace {

struct Case {
  std::string name;  // "Group.Name"
  CaseFunction function;
};

// The suite's state: cases registered at start-up, and what the running case has done.
struct SuiteState {
  std::vector<Case> cases;         // in registration order
  std::vector<std::string> input;  // the inputs of the rows being checked, outermost first
  int failures = 0;                // failures of the running case
  bool (*setUp)() = nullptr;       // before every case
  void (*tearDown)() = nullptr;    // after every case
};

SuiteState& State() {
  static SuiteState state;
  return state;
}

}  // namespace

Registration::Registration(const char* group, const char* name, CaseFunction function) {
  State().cases.push_back({std::string(group) + "." + name, function});
}

std::string Show(const char16_t* text) {
  return text == nullptr ? std::string("(null)") : Show(std::u16string(text));
}

std::string Show(const std::u16string& text) {
  std::string out = "\"";
  size_t run = 0;  // the same unit repeated, shown once with a count
  for (size_t i = 0; i < text.size(); i += run) {
    run = 1;
    while (i + run < text.size() && text[i + run] == text[i]) ++run;
    const char16_t c = text[i];
    std::string unit;
    if (c == u'\r') {
      unit = "\\r";
    } else if (c == u'\n') {
      unit = "\\n";
    } else if (c == u'\t') {
      unit = "\\t";
    } else if (c == u'"' || c == u'\\') {
      unit = std::string("\\") + static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7F) {
      unit = std::string(1, static_cast<char>(c));
    } else {
      char buffer[16];
      snprintf(buffer, sizeof buffer, "\\u%04X", static_cast<unsigned>(c));
      unit = buffer;
    }
    if (run > 8) {
      out += unit + "{x" + std::to_string(run) + "}";
    } else {
      for (size_t k = 0; k < run; ++k) out += unit;
    }
  }
  return out + "\"";
}

std::string Show(bool value) {
  return value ? "true" : "false";
}

std::string Show(const void* pointer) {
  char buffer[32];
  snprintf(buffer, sizeof buffer, "%p", pointer);
  return buffer;
}

void Fail(const char* file, int line, const std::string& message) {
  SuiteState& s = State();
  ++s.failures;
  fprintf(stdout, "    FAILED at %s:%d: %s\n", file, line, message.c_str());
  for (const std::string& input : s.input) fprintf(stdout, "      input: %s\n", input.c_str());
  fflush(stdout);
}

Input::Input(const std::string& text) {
  State().input.push_back(text);
}
Input::~Input() {
  State().input.pop_back();
}

int FailureCount() {
  return State().failures;
}

void SetHooks(bool (*setUp)(), void (*tearDown)()) {
  State().setUp = setUp;
  State().tearDown = tearDown;
}

int RunAll(const std::string& filter) {
  SuiteState& s = State();
  int run = 0;
  std::vector<std::string> failed;
  for (const Case& c : s.cases) {
    if (!filter.empty() && c.name.find(filter) == std::string::npos) continue;
    ++run;
    s.failures = 0;
    fprintf(stdout, "[ RUN  ] %s\n", c.name.c_str());
    fflush(stdout);
    if (s.setUp == nullptr || s.setUp()) {
      c.function();
    } else {
      Fail(__FILE__, __LINE__, "set-up failed; the case did not run");
    }
    if (s.tearDown != nullptr) s.tearDown();
    fprintf(stdout, "[ %s ] %s\n", s.failures == 0 ? " OK " : "FAIL", c.name.c_str());
    if (s.failures != 0) failed.push_back(c.name);
  }
  fprintf(stdout, "\n%d cases, %d passed, %zu failed\n", run, run - static_cast<int>(failed.size()),
          failed.size());
  for (const std::string& name : failed) fprintf(stdout, "  failed: %s\n", name.c_str());
  if (run == 0) {
    fprintf(stdout, "no case matches \"%s\"\n", filter.c_str());
    return 1;
  }
  return static_cast<int>(failed.size());
}

}  // namespace suite
