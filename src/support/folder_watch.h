#pragma once
#include <cstdint>
#include <string>

#include "support/handles.h"
#include "support/run_context.h"

// Watches one folder for names made, renamed or deleted in it (not below it),
// from the watch's making on: a file that another program makes there is
// looked for when the system tells of it, not on the clock.
class FolderWatch {
 public:
  explicit FolderWatch(const std::string& folder);

  // Waits, pumping the window's messages, until a name in the folder changed
  // since the last wait, or until the time has passed. A drive that tells of
  // no changes (some network shares) makes every wait last its time, a poll.
  // A stop ends it.
  void Wait(RunContext& run, uint32_t milliseconds);

 private:
  UniqueChangeNotification change_;
};
