#pragma once
// One progress entry: the bar and percentage move on, a time-stamped line goes
// on top of the progress box and at the end of the log file.
#include <string>
#include <string_view>

constexpr int kProgressScale = 212;  // entries that make 100 %

void ProgressLog(std::string_view text);
// "<installer folder>\ZEM7InstallLog.txt"
std::string LogFilePath();
std::string PercentText(int entryCount);
std::string TimeOfDayText();
