#include "fileops/file_system.h"
#include "fileops/folder_delete.h"
#include "fileops/safe_file_ops.h"
#include "install/install_steps.h"
#include "support/keep_alive.h"
#include "support/path_helpers.h"

namespace {

constexpr const char* kLocation = "modZEM7::InstallZEM7";

// The target is emptied only now, once the user has agreed to install, as the
// run's first change; a folder left half deleted gets no steps.
bool EmptyTargetFolder(RunContext& run) {
  return TrapResult(run.reporter, kLocation, false, [&] {
    run.log.Write("Deleting folder: " + run.plan.zem7Folder);
    DeleteWholeFolder(GetAbsolutePathName(run.plan.zem7Folder), KeepAlive(run.ui));
    return true;
  });
}

bool StopBeforeTheSteps(RunContext& run) {
  run.ui.SetMousePointer(MousePointer::Default);
  return false;
}

}  // namespace

bool InstallZEM7(RunContext& run) {
  return TrapResult(run.reporter, kLocation, false, [&] {
    if (FileSystem::FileExists(run.log.Path())) SafeDeleteFile(run, run.log.Path(), true);
    run.log.Write("Starting to installing ZEM7 mod.");
    run.ui.SetMousePointer(MousePointer::Hourglass);

    if (run.plan.emptyTargetFirst && !EmptyTargetFolder(run)) return StopBeforeTheSteps(run);
    SafeCreateFolder(run, run.plan.zem7Folder, true);
    // Without its folder every step would fail, and the shortcuts would point at nothing.
    if (!FileSystem::FolderExists(run.plan.zem7Folder)) return StopBeforeTheSteps(run);
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
    return true;
  });
}
