#pragma once
// The installation's one log. Each entry moves the progress display on and
// puts a time-stamped line on top of the progress box and at the end of the
// log file ("<time> : <percent>% : <text>"): the box in the player's language,
// the file always in English.
#include <string>

#include "support/user_interface.h"

constexpr int kProgressScale = 212;  // entries that make 100 %

class ProgressLog {
 public:
  ProgressLog(UserInterface& ui, std::string path);
  ProgressLog(const ProgressLog&) = delete;
  ProgressLog& operator=(const ProgressLog&) = delete;

  void Write(const Message& text);
  const std::string& Path() const { return path_; }
  int EntryCount() const { return entryCount_; }
  // From now on entries are only shown: the file is somebody else's to keep.
  void StopWritingTheFile() { fileWithheld_ = true; }
  // 1 once the file could not be written: that failure is reported once.
  int FailureReports() const { return writeFailed_ ? 1 : 0; }

 private:
  std::string ShowEntry(const Message& text);
  void ReportWriteFailure(const std::exception& error);

  UserInterface& ui_;
  std::string path_;
  int entryCount_ = 0;
  bool writeFailed_ = false;
  bool fileWithheld_ = false;
};

std::string PercentText(int entryCount);
std::string TimeOfDayText();
