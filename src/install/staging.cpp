#include <windows.h>

#include "fileops/safe_file_ops.h"
#include "install/install_steps.h"
#include "support/error_report.h"
#include "support/installer_state.h"
#include "support/process_runner.h"
#include "support/progress_log.h"
#include "support/runtime_error.h"
#include "support/text.h"

namespace {

constexpr const char* kGameFiles[] = {"FlatOut.exe", "Common1.bfs", "Common2.bfs"};
// Relative to the installer's folder, which has no trailing backslash.
constexpr const char* kDistributionFiles[] = {"\\unrar.exe", "\\zem7systemfiles.rar", "\\zem7trackfiles.rar",
                                              "\\zem7makebfs.rar"};

void Extract(const std::string& archive) {
  std::string message;
  ShellAndWaitForTermination("unrar.exe x -o+ " + archive, kWindowMinimized, message, kNoTimeLimitMs);
  // The archive goes whether or not the extractor managed: nothing reads its result.
  SafeDeleteFile(State().ZEM7GameFolder + archive, true);
}

}  // namespace

void CopyFlatOutFiles() {
  Trap("modZEM7::CopyFlatOutFiles", [] {
    ProgressLog("Copying FlatOut Game Files.");
    for (const char* file : kGameFiles) SafeCopyFile(State().FlatOutGameFolder + file, State().ZEM7GameFolder, true);
  });
}

void CopyZEM7Files() {
  Trap("modZEM7::CopyZEM7Files", [] {
    ProgressLog("Copying ZEM7 Mod Files.");
    for (const char* file : kDistributionFiles)
      SafeCopyFile(State().InstallerFolder + file, State().ZEM7GameFolder, true);
  });
}

void ChangeToZEM7GameFolder() {
  // Setting the full path makes its drive the current drive as well, so the
  // tools' bare file names resolve in the target folder.
  if (!SetCurrentDirectoryW(Widen(State().ZEM7GameFolder).c_str())) ThrowLastError();
}

void UnpackZEM7SystemFiles() {
  Trap("modZEM7::UnpackZEM7Files", [] {
    // The log line is shared with the track archive's step.
    ProgressLog("Unpacking the ZEM7 Track Files.");
    ChangeToZEM7GameFolder();
    Extract("zem7systemfiles.rar");
    Extract("zem7makebfs.rar");
  });
}

void UnpackZEM7TrackFiles() {
  Trap("modZEM7::UnpackZEM7Files", [] {
    ProgressLog("Unpacking the ZEM7 Track Files.");
    ChangeToZEM7GameFolder();
    Extract("zem7trackfiles.rar");
  });
}
