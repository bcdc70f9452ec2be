#include <windows.h>

#include "fileops/file_system.h"
#include "fileops/safe_file_ops.h"
#include "install/install_steps.h"
#include "support/error_report.h"
#include "support/path_helpers.h"
#include "support/process_runner.h"
#include "support/progress_log.h"
#include "support/text.h"
#include "support/text_file.h"

namespace {

// The packer reads the folder to pack from "in.txt": its short path, lower
// case, every backslash doubled, no line end.
std::string PackerInputText(RunContext& run, const std::string& folder) {
  std::string doubled;
  for (char c : GetShortPath(run.reporter, folder)) {
    doubled += c;
    if (c == '\\') doubled += '\\';
  }
  return ToLower(doubled);
}

// The packer creates "finished.txt" once its archive is complete, possibly
// after its process has ended. A packer that crashed never does: give up
// after the bound instead of waiting forever.
void WaitForFinishMarker(RunContext& run, const std::string& marker) {
  const uint32_t started = GetTickCount();
  for (;;) {
    run.ui.PumpMessages();
    Sleep(1000);
    if (FileSystem::FileExists(marker)) return;
    if (GetTickCount() - started >= run.tools.finishMarkerWaitMs)
      throw RuntimeError(static_cast<int32_t>(ERROR_TIMEOUT),
                         "The BFS packer ended without creating \"finished.txt\"; the archive was not made.");
  }
}

}  // namespace

void UnpackBFSFile(RunContext& run) {
  Trap(run.reporter, "modZEM7::UnpackBFSFile", [&] {
    run.log.Write("Unpacking the 'Common2.bfs' file.");
    ChangeToZEM7GameFolder(run);
    std::string message;
    ShellAndWaitForTermination(run, "Bfsunpack.exe Common2.bfs", kWindowMinimized, message, kNoTimeLimitMs);
  });
}

void PackBFSFile(RunContext& run, const std::string& archiveName) {
  Trap(run.reporter, "modZEM7::PackBFSFile", [&] {
    const std::string& target = run.plan.zem7Folder;
    run.log.Write("Creating the new '" + archiveName + "' file.");
    WriteAnsiText(target + "in.txt", PackerInputText(run, target + "data"));
    // A marker left by an earlier pack must not pass for this one.
    if (FileSystem::FileExists(target + "finished.txt")) SafeDeleteFile(run, target + "finished.txt", true);
    ChangeToZEM7GameFolder(run);
    std::string message;
    ShellAndWaitForTermination(run, "makebfs.exe", kWindowMinimized, message, kNoTimeLimitMs);
    WaitForFinishMarker(run, target + "finished.txt");
    SafeDeleteFile(run, target + "finished.txt", true);
    SafeMoveFile(run, target + "br549temp.bfs", target + archiveName);
  });
}
