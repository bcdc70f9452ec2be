#pragma once
// The one exception type of the installer: a numbered error with a text, as
// the reporter shows it ("ERROR: <number>, <description>").
#include <windows.h>

#include <cstdint>
#include <stdexcept>
#include <string>

#include "support/texts.h"

class RuntimeError : public std::runtime_error {
 public:
  // what() is the description's English, as the log has it.
  RuntimeError(int32_t number, Message description)
      : std::runtime_error(description.English()), number_(number), description_(std::move(description)) {}
  int32_t Number() const { return number_; }
  // Shown in the player's language, logged in English.
  const Message& Description() const { return description_; }

 private:
  int32_t number_;
  Message description_;
};

// Any exception as a numbered error: a RuntimeError as it is, the standard
// library's system and allocation errors with their numbers, others as 5.
RuntimeError AsRuntimeError(const std::exception& error);

// The system's own text for a Win32 error code, without the trailing line
// break: in language where Windows has it; in English, the system's default
// language, as the log has always had it.
std::string SystemMessage(DWORD code, Language language = Language::English);
[[noreturn]] void ThrowWin32Error(DWORD code);
// Reads GetLastError at once, before anything can overwrite it.
[[noreturn]] void ThrowLastError();
// The platform's error for an invalid procedure call or argument.
[[noreturn]] void ThrowInvalidArgument();
