#pragma once
// Every procedure that traps errors reports them here with its location
// ("module::procedure"), then returns its neutral result; its caller goes on.
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <system_error>

#include "support/runtime_error.h"

std::string FormatErrorReport(int32_t number, std::string_view description, std::string_view location);
// With no error pending: number 0 and an empty description.
void ReportError(std::string_view location);
void ReportError(std::string_view location, const RuntimeError& error);
RuntimeError AsRuntimeError(const std::exception& error);

// Runs body; an error escaping it is reported under location and swallowed.
template <typename Body>
void Trap(std::string_view location, Body&& body) {
  try {
    body();
  } catch (const std::exception& error) {
    ReportError(location, AsRuntimeError(error));
  }
}

// The same for a function: after an error the neutral result comes back.
template <typename Result, typename Body>
Result TrapResult(std::string_view location, Result neutral, Body&& body) {
  try {
    return body();
  } catch (const std::exception& error) {
    ReportError(location, AsRuntimeError(error));
    return neutral;
  }
}
