#include "support/progress_log.h"

#include <windows.h>

#include "support/report_text.h"
#include "support/runtime_error.h"
#include "support/text.h"
#include "support/text_file.h"

namespace {
constexpr const char* kLocation = "modMain::ProgressLog";
}  // namespace

ProgressLog::ProgressLog(UserInterface& ui, std::string path) : ui_(ui), path_(std::move(path)) {}

std::string PercentText(int entryCount) {
  // Rounded to the nearest whole percent; no count on this scale lands on a half.
  int percent = (entryCount * 100 + kProgressScale / 2) / kProgressScale;
  return std::to_string(percent) + "%";
}

std::string TimeOfDayText() {
  wchar_t buffer[64] = {};
  GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, nullptr, nullptr, buffer, 64);
  return Narrow(buffer);
}

void ProgressLog::Write(const Message& text) {
  std::string entry = ShowEntry(text);
  if (fileWithheld_) return ui_.PumpMessages();
  try {
    AppendLogText(path_, entry);
  } catch (const std::exception& error) {
    if (!writeFailed_) ReportWriteFailure(error);
  }
  ui_.PumpMessages();
}

// Counts the entry, moves the bar on and puts the line on top of the box;
// returns the line for the file.
std::string ProgressLog::ShowEntry(const Message& text) {
  ui_.PumpMessages();
  if (entryCount_ <= kProgressScale) ++entryCount_;
  std::string percent = PercentText(entryCount_);
  ui_.ShowProgress(entryCount_, kProgressScale, percent);
  std::string stamp = TimeOfDayText() + " : " + percent + " : ";
  ui_.PrependProgressText(stamp, text);
  return stamp + text.English() + "\r\n";
}

// A log that cannot be written would otherwise bring one box per entry: say
// it once, as an entry of its own and a box, and keep showing progress.
void ProgressLog::ReportWriteFailure(const std::exception& error) {
  writeFailed_ = true;
  RuntimeError failure = AsRuntimeError(error);
  Message report = FormatErrorReport(failure.Number(), failure.Description(), kLocation);
  ui_.SetMousePointer(MousePointer::Default);
  ShowEntry(report);
  ui_.PumpMessages();
  ui_.ShowMessage(report, kReportTitle, MB_OK);
}
