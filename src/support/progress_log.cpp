#include "support/progress_log.h"

#include <windows.h>

#include "support/error_report.h"
#include "support/installer_state.h"
#include "support/text.h"
#include "support/text_file.h"

namespace {

constexpr const char* kLocation = "modMain::ProgressLog";

// A log that cannot be written would otherwise bring one box per entry, and
// the report itself logs again: say it once, then keep showing progress.
void ReportLogFailure(const std::exception& error) {
  if (State().LogFailureShown) return;
  State().LogFailureShown = true;
  ReportError(kLocation, AsRuntimeError(error));
}

}  // namespace

std::string LogFilePath() { return State().InstallerFolder + "\\ZEM7InstallLog.txt"; }

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

void ProgressLog(std::string_view text) {
  UI().PumpMessages();
  InstallerState& state = State();
  if (state.ProgressEntryCount <= kProgressScale) ++state.ProgressEntryCount;
  std::string percent = PercentText(state.ProgressEntryCount);
  UI().ShowProgress(state.ProgressEntryCount, kProgressScale, percent);

  std::string entry = TimeOfDayText() + " : " + percent + " : ";
  entry.append(text);
  entry += "\r\n";
  UI().PrependProgressText(entry);
  try {
    AppendAnsiText(LogFilePath(), entry);
  } catch (const std::exception& error) {
    ReportLogFailure(error);
  }
  UI().PumpMessages();
}
