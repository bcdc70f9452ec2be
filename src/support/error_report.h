#pragma once
// Every procedure that traps errors reports them here with its location
// ("module::procedure"), then returns its neutral result; its caller goes on.
// A report is one log entry and one box titled kReportTitle.
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

#include "support/progress_log.h"
#include "support/report_text.h"
#include "support/runtime_error.h"
#include "support/user_interface.h"

class ErrorReporter {
 public:
  ErrorReporter(ProgressLog& log, UserInterface& ui) : log_(log), ui_(ui) {}
  ErrorReporter(const ErrorReporter&) = delete;
  ErrorReporter& operator=(const ErrorReporter&) = delete;

  void Report(std::string_view location, const RuntimeError& error);

  // The reports made since the last StartCounting, the log's own included.
  void StartCounting();
  int Count() const { return reports_ + log_.FailureReports() - logReportsBefore_; }

 private:
  ProgressLog& log_;
  UserInterface& ui_;
  int reports_ = 0;
  int logReportsBefore_ = 0;
};

// Runs body; an error escaping it is reported under location and swallowed.
template <typename Body>
void Trap(ErrorReporter& reporter, std::string_view location, Body&& body) {
  try {
    body();
  } catch (const std::exception& error) {
    reporter.Report(location, AsRuntimeError(error));
  }
}

// The same for a function: after an error the neutral result comes back.
template <typename Result, typename Body>
Result TrapResult(ErrorReporter& reporter, std::string_view location, Result neutral, Body&& body) {
  try {
    return body();
  } catch (const std::exception& error) {
    reporter.Report(location, AsRuntimeError(error));
    return neutral;
  }
}
