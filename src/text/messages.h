#pragma once

#include <string>

// The numbered messages: built-in German texts, overridable per language in
// section "Errors" under the number's decimal key.
namespace rkt {

// Message numbers used across the program.
namespace msg {
inline constexpr int kNoSensor = 1;
inline constexpr int kPortInit = 2;
inline constexpr int kCommunicationOk = 3;
inline constexpr int kInitWrite = 4;
inline constexpr int kInvalidFile = 20;
inline constexpr int kSaveFailed = 21;
inline constexpr int kTypeMismatch = 30;
inline constexpr int kTypeChanged = 31;
inline constexpr int kSensorLocked = 32;
inline constexpr int kProgramLockWarning = 33;
inline constexpr int kInvalidDataCode = 34;
inline constexpr int kCommentNotStored = 35;
}  // namespace msg

// The built-in text of a number, with "\n" as the two characters backslash
// and n; "" when the number has none.
std::string BuiltinMessageText(int number);

// The language's text when it is not empty, else the built-in text, else "".
std::string GetErrorText(int number);

// The text as a box shows it: GetErrorText, or the generic program-error
// text followed by the number, with every backslash-n turned into a line
// break ("\n").
std::string MessageDisplayText(int number);

}  // namespace rkt
