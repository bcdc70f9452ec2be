#include "support/error_report.h"

#include <windows.h>

void ErrorReporter::StartCounting() {
  reports_ = 0;
  logReportsBefore_ = log_.FailureReports();
}

void ErrorReporter::Report(std::string_view location, const RuntimeError& error) {
  ++reports_;
  ui_.SetMousePointer(MousePointer::Default);
  Message report = FormatErrorReport(error.Number(), error.Description(), location);
  log_.Write(report);
  ui_.ShowMessage(report, kReportTitle, MB_OK);
}
