// A minimal test harness for the suite that runs under Wine, where no GoogleTest is
// cross-built: named cases, checks that say what they compared, and the input of a failing
// table row.
#pragma once

#include <cstdint>
#include <sstream>
#include <string>

namespace suite {

using CaseFunction = void (*)();

// Registers a case at start-up; cases run in the order of their registration.
struct Registration {
  Registration(const char* group, const char* name, CaseFunction function);
};

// 16-bit text as readable ASCII: printable units as they are, the rest as escapes.
std::string Show(const std::u16string& text);
std::string Show(const char16_t* text);
template <size_t N>
std::string Show(const char16_t (&text)[N]) {
  return Show(static_cast<const char16_t*>(text));
}
inline std::string Show(const std::string& text) {
  return text;
}
inline std::string Show(const char* text) {
  return text;
}
std::string Show(bool value);
std::string Show(const void* pointer);
template <typename T>
std::string Show(const T& value) {
  std::ostringstream out;
  out << +value;
  return out.str();
}

// Records a failure of the running case, with every input of the rows around it.
void Fail(const char* file, int line, const std::string& message);

// The input of the table row being checked, printed with each failure while it lives.
struct Input {
  explicit Input(const std::string& text);
  ~Input();
  Input(const Input&) = delete;
  Input& operator=(const Input&) = delete;
};

// Runs `setUp` before and `tearDown` after every case. A case whose set-up fails is not run
// and counts as failed.
void SetHooks(bool (*setUp)(), void (*tearDown)());

// Failures of the running case so far.
int FailureCount();

// Runs the registered cases whose "group.name" contains `filter` (all for an empty one).
// Returns the number of failed cases.
int RunAll(const std::string& filter);

}  // namespace suite

#define SUITE_JOIN2(a, b) a##b
#define SUITE_JOIN(a, b) SUITE_JOIN2(a, b)

// Defines a case: SUITE_CASE(Group, Name) { ...checks... }
#define SUITE_CASE(group, name)                                                         \
  static void group##_##name();                                                         \
  static const suite::Registration SUITE_JOIN(registration_, __LINE__)(#group, #name,   \
                                                                       group##_##name); \
  static void group##_##name()

#define CHECK(condition)                                           \
  do {                                                             \
    if (!(condition)) suite::Fail(__FILE__, __LINE__, #condition); \
  } while (0)

// Compares with ==; on failure prints both values.
#define CHECK_EQ(actual, expected)                                                         \
  do {                                                                                     \
    const auto& suiteActual = (actual);                                                    \
    const auto& suiteExpected = (expected);                                                \
    if (!(suiteActual == suiteExpected)) {                                                 \
      suite::Fail(__FILE__, __LINE__,                                                      \
                  std::string(#actual) + "\n      got:      " + suite::Show(suiteActual) + \
                      "\n      expected: " + suite::Show(suiteExpected));                  \
    }                                                                                      \
  } while (0)
