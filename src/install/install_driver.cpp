#include "fileops/file_system.h"
#include "fileops/safe_file_ops.h"
#include "install/install_steps.h"
#include "support/error_report.h"
#include "support/installer_state.h"
#include "support/progress_log.h"

namespace {

// Clears the running flag however the installation ends.
class RunningInstallation {
 public:
  RunningInstallation() { State().Installing = true; }
  ~RunningInstallation() { State().Installing = false; }
  RunningInstallation(const RunningInstallation&) = delete;
  RunningInstallation& operator=(const RunningInstallation&) = delete;
};

}  // namespace

void InstallZEM7() {
  // The window keeps handling input during the run; a nested run would work
  // on a half-built folder.
  if (State().Installing) return;
  RunningInstallation running;
  Trap("modZEM7::InstallZEM7", [] {
    if (FileSystem::FileExists(LogFilePath())) SafeDeleteFile(LogFilePath(), true);
    ProgressLog("Starting to installing ZEM7 mod.");
    UI().SetMousePointer(MousePointer::Hourglass);

    SafeCreateFolder(State().ZEM7GameFolder);
    CopyFlatOutFiles();
    CopyZEM7Files();
    UnpackZEM7SystemFiles();
    UnpackBFSFile();
    CopyTracks();
    UnpackZEM7TrackFiles();
    DeleteTrackFolders();
    SplitAndPackTrackFolders();
    CreateShortcuts();
    CleanUp();
    FinalMessage();
  });
}
