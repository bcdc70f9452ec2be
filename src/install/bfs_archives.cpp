#include <windows.h>

#include <algorithm>

#include "fileops/file_system.h"
#include "fileops/safe_file_ops.h"
#include "install/install_steps.h"
#include "support/error_report.h"
#include "support/folder_watch.h"
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
// after the bound instead of waiting forever. One that ended with an error
// code and has left no marker by the first test will not write one later.
// The first test comes as soon as the packer has ended; after it the folder
// is watched, and the marker looked for whenever a name in it changes.
void WaitForFinishMarker(RunContext& run, const std::string& marker, const ProcessResult& packer) {
  // Watched before the first test: a marker made between the two is not missed.
  FolderWatch folder(run.plan.zem7Folder);
  const ULONGLONG started = GetTickCount64();
  for (;;) {
    if (FileSystem::FileExists(marker)) return;
    if (packer.end == ProcessEnd::Ended && packer.exitCode != 0)
      throw RuntimeError(static_cast<int32_t>(packer.exitCode),
                         Message(IDS_PACKER_FAILED, {std::to_string(packer.exitCode)}));
    const ULONGLONG waited = GetTickCount64() - started;
    if (waited >= run.tools.finishMarkerWaitMs)
      throw RuntimeError(static_cast<int32_t>(ERROR_TIMEOUT), IDS_PACKER_NO_MARKER);
    folder.Wait(
        run, static_cast<uint32_t>(std::min<ULONGLONG>(run.tools.finishMarkerWaitMs - waited, run.tools.markerPollMs)));
  }
}

}  // namespace

void UnpackBFSFile(RunContext& run) {
  Trap(run.reporter, "modZEM7::UnpackBFSFile", [&] {
    run.log.Write({IDS_LOG_UNPACKING_FILE, {"Common2.bfs"}});
    ChangeToZEM7GameFolder(run);
    std::string message;
    ShellAndWaitForTermination(run, ToolCommand(run, "Bfsunpack.exe") + " Common2.bfs", kWindowMinimized, message,
                               kNoTimeLimitMs);
  });
}

bool PackBFSFile(RunContext& run, const std::string& archiveName) {
  return TrapResult(run.reporter, "modZEM7::PackBFSFile", false, [&] {
    const std::string& target = run.plan.zem7Folder;
    run.log.Write({IDS_LOG_CREATING_FILE, {archiveName}});
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
