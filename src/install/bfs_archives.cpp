#include <windows.h>

#include "fileops/file_system.h"
#include "fileops/safe_file_ops.h"
#include "install/install_steps.h"
#include "support/error_report.h"
#include "support/path_helpers.h"
#include "support/process_runner.h"
#include "support/pumping_wait.h"
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
// after the bound instead of waiting forever. One that ended with an error
// code and has left no marker by the first test will not write one later.
void WaitForFinishMarker(RunContext& run, const std::string& marker, const ProcessResult& packer) {
  const uint32_t started = GetTickCount();
  for (;;) {
    PumpingPause(run, run.tools.markerTestIntervalMs);
    if (FileSystem::FileExists(marker)) return;
    if (packer.end == ProcessEnd::Ended && packer.exitCode != 0)
      throw RuntimeError(
          static_cast<int32_t>(packer.exitCode),
          "\"makebfs.exe\" could not make the archive (exit code " + std::to_string(packer.exitCode) + ").");
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
    ShellAndWaitForTermination(run, ToolCommand(run, "Bfsunpack.exe") + " Common2.bfs", kWindowMinimized, message,
                               kNoTimeLimitMs);
  });
}

bool PackBFSFile(RunContext& run, const std::string& archiveName) {
  return TrapResult(run.reporter, "modZEM7::PackBFSFile", false, [&] {
    const std::string& target = run.plan.zem7Folder;
    run.log.Write("Creating the new '" + archiveName + "' file.");
    WriteAnsiText(target + "in.txt", PackerInputText(run, target + "data"));
    // What an earlier pack left must not pass for this one: neither its
    // marker nor its archive, which would be moved under the new name.
    for (const char* leftover : {"finished.txt", "br549temp.bfs"})
      if (FileSystem::FileExists(target + leftover)) SafeDeleteFile(run, target + leftover, true);
    ChangeToZEM7GameFolder(run);
    std::string message;
    ProcessResult packer =
        ShellAndWaitForTermination(run, ToolCommand(run, "makebfs.exe"), kWindowMinimized, message, kNoTimeLimitMs);
    // Reported already; no marker can come from a packer that never ran.
    if (packer.end == ProcessEnd::NotStarted) return false;
    WaitForFinishMarker(run, target + "finished.txt", packer);
    SafeDeleteFile(run, target + "finished.txt", true);
    SafeMoveFile(run, target + "br549temp.bfs", target + archiveName);
    return FileSystem::FileExists(target + archiveName);
  });
}
