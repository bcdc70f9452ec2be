#include <windows.h>

#include "fileops/file_system.h"
#include "fileops/safe_file_ops.h"
#include "install/install_steps.h"
#include "support/error_report.h"
#include "support/installer_state.h"
#include "support/path_helpers.h"
#include "support/process_runner.h"
#include "support/progress_log.h"
#include "support/text.h"
#include "support/text_file.h"

namespace {

// The packer reads the folder to pack from "in.txt": its short path, lower
// case, every backslash doubled, no line end.
std::string PackerInputText(const std::string& folder) {
  std::string doubled;
  for (char c : GetShortPath(folder)) {
    doubled += c;
    if (c == '\\') doubled += '\\';
  }
  return ToLower(doubled);
}

// The packer creates "finished.txt" once its archive is complete, possibly
// after its process has ended. A packer that crashed never does: give up
// after the bound instead of waiting forever.
void WaitForFinishMarker(const std::string& marker) {
  const uint32_t started = GetTickCount();
  for (;;) {
    UI().PumpMessages();
    Sleep(1000);
    if (FileSystem::FileExists(marker)) return;
    if (GetTickCount() - started >= State().FinishMarkerWaitMs)
      throw RuntimeError(static_cast<int32_t>(ERROR_TIMEOUT),
                         "The BFS packer ended without creating \"finished.txt\"; the archive was not made.");
  }
}

}  // namespace

void UnpackBFSFile() {
  Trap("modZEM7::UnpackBFSFile", [] {
    ProgressLog("Unpacking the 'Common2.bfs' file.");
    ChangeToZEM7GameFolder();
    std::string message;
    ShellAndWaitForTermination("Bfsunpack.exe Common2.bfs", kWindowMinimized, message, kNoTimeLimitMs);
  });
}

void PackBFSFile(const std::string& archiveName) {
  Trap("modZEM7::PackBFSFile", [&] {
    const std::string& target = State().ZEM7GameFolder;
    ProgressLog("Creating the new '" + archiveName + "' file.");
    WriteAnsiText(target + "in.txt", PackerInputText(target + "data"));
    // A marker left by an earlier pack must not pass for this one.
    if (FileSystem::FileExists(target + "finished.txt")) SafeDeleteFile(target + "finished.txt", true);
    ChangeToZEM7GameFolder();
    std::string message;
    ShellAndWaitForTermination("makebfs.exe", kWindowMinimized, message, kNoTimeLimitMs);
    WaitForFinishMarker(target + "finished.txt");
    SafeDeleteFile(target + "finished.txt", true);
    SafeMoveFile(target + "br549temp.bfs", target + archiveName);
  });
}
