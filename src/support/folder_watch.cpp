#include "support/folder_watch.h"

#include <windows.h>

#include "support/pumping_wait.h"
#include "support/text.h"

FolderWatch::FolderWatch(const std::string& folder)
    : change_(FindFirstChangeNotificationW(Widen(folder).c_str(), FALSE, FILE_NOTIFY_CHANGE_FILE_NAME)) {}

void FolderWatch::Wait(RunContext& run, uint32_t milliseconds) {
  bool changed =
      WaitPumping(run, change_ ? change_.Get() : nullptr, milliseconds, [&](uint64_t) { StopIfRequested(run); });
  // Told once, the watch tells again only when asked to: a watch that cannot
  // go on is a drive that tells nothing more, and the waits become a poll.
  if (changed && !FindNextChangeNotification(change_.Get())) change_.Reset();
}
