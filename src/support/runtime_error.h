#pragma once
// The one exception type of the installer: a numbered error with a text, as
// the reporter shows it ("ERROR: <number>, <description>").
#include <windows.h>

#include <cstdint>
#include <stdexcept>
#include <string>

class RuntimeError : public std::runtime_error {
 public:
  RuntimeError(int32_t number, const std::string& description) : std::runtime_error(description), number_(number) {}
  int32_t Number() const { return number_; }
  std::string Description() const { return what(); }

 private:
  int32_t number_;
};

// Any exception as a numbered error: a RuntimeError as it is, the standard
// library's system and allocation errors with their numbers, others as 5.
RuntimeError AsRuntimeError(const std::exception& error);

// The system's own text for a Win32 error code, without the trailing line break.
std::string SystemMessage(DWORD code);
[[noreturn]] void ThrowWin32Error(DWORD code);
// Reads GetLastError at once, before anything can overwrite it.
[[noreturn]] void ThrowLastError();
// The platform's error for an invalid procedure call or argument.
[[noreturn]] void ThrowInvalidArgument();
