#include "fileops/file_system.h"
#include "fileops/safe_file_ops.h"
#include "install/install_steps.h"

void InstallZEM7(RunContext& run) {
  Trap(run.reporter, "modZEM7::InstallZEM7", [&] {
    if (FileSystem::FileExists(run.log.Path())) SafeDeleteFile(run, run.log.Path(), true);
    run.log.Write("Starting to installing ZEM7 mod.");
    run.ui.SetMousePointer(MousePointer::Hourglass);

    SafeCreateFolder(run, run.plan.zem7Folder);
    CopyFlatOutFiles(run);
    CopyZEM7Files(run);
    UnpackZEM7SystemFiles(run);
    UnpackBFSFile(run);
    CopyTracks(run);
    UnpackZEM7TrackFiles(run);
    DeleteTrackFolders(run);
    SplitAndPackTrackFolders(run);
    CreateShortcuts(run);
    CleanUp(run);
    FinalMessage(run);
  });
}
