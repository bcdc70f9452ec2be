#include "support/error_report.h"

#include <windows.h>

#include <new>
#include <system_error>

std::string FormatErrorReport(int32_t number, std::string_view description, std::string_view location) {
  std::string report = "ERROR: " + std::to_string(number) + ", ";
  report.append(description);
  report += "\r\nLocation: ";
  report.append(location);
  return report;
}

RuntimeError AsRuntimeError(const std::exception& error) {
  if (auto runtime = dynamic_cast<const RuntimeError*>(&error)) return *runtime;
  if (auto system = dynamic_cast<const std::system_error*>(&error))
    return RuntimeError(system->code().value(), system->code().message());
  if (dynamic_cast<const std::bad_alloc*>(&error)) return RuntimeError(7, "Out of memory");
  return RuntimeError(5, error.what());
}

void ErrorReporter::Report(std::string_view location) { Report(location, RuntimeError(0, "")); }

void ErrorReporter::StartCounting() {
  reports_ = 0;
  logReportsBefore_ = log_.FailureReports();
}

void ErrorReporter::Report(std::string_view location, const RuntimeError& error) {
  ++reports_;
  ui_.SetMousePointer(MousePointer::Default);
  std::string report = FormatErrorReport(error.Number(), error.Description(), location);
  log_.Write(report);
  ui_.ShowMessage(report, kReportTitle, MB_OK);
}
