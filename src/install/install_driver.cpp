#include <windows.h>

#include <iterator>
#include <optional>
#include <vector>

#include "fileops/file_system.h"
#include "fileops/folder_rights.h"
#include "fileops/safe_file_ops.h"
#include "install/install_steps.h"
#include "install/record_keeper.h"
#include "support/cut_point.h"
#include "support/keep_alive.h"
#include "support/path_helpers.h"
#include "support/runtime_error.h"
#include "support/text.h"

namespace {

constexpr const char* kLocation = "modZEM7::InstallZEM7";

// What a partly emptied folder still holds, for the user to see: the first
// few entries and how many more.
Message WhatIsLeft(const std::string& folder) {
  constexpr size_t kNamed = 5;
  if (!FileSystem::FolderExists(folder)) return IDS_LEFT_NOTHING;
  std::vector<FileSystem::FileFacts> left = FileSystem::FilesBelow(folder);
  // The record stays, and what lies in the holding folder is the player's: neither was to go.
  std::erase_if(left, [](const FileSystem::FileFacts& file) {
    return IsInstallersOwnFile(file.path) || IsInHoldingFolder(file.path);
  });
  if (left.empty()) return IDS_LEFT_EMPTY_FOLDERS;
  std::string names;
  for (size_t i = 0; i < left.size() && i < kNamed; ++i) names += (i ? ", \"" : "\"") + left[i].path + "\"";
  if (left.size() > kNamed) return Message(IDS_LEFT_AND_MORE, {names});
  return names;
}

// The target is emptied only now, once the user has agreed to install, as the
// run's first change, through what the checks held. The record says first
// that the run is under way, and the player's files go aside: a run cut off
// from here on leaves a folder whose next run tells them apart. One that
// cannot set them all aside puts them back and changes nothing. A folder
// left half deleted gets no steps, and says so; nothing is returned when it
// is empty.
std::optional<InstallResult> EmptyTargetFolder(RunContext& run, FileSystem::HeldTree& held, RecordKeeper& keeper) {
  run.log.Write({IDS_LOG_DELETING_FOLDER, {run.plan.zem7Folder}});
  try {
    keeper.BeginRun(run, &held);
  } catch (const RuntimeError& error) {
    keeper.Abandon(run);
    // The reason's own full stop would end the sentence twice.
    run.reporter.Report(
        kLocation, RuntimeError(error.Number(), Message(IDS_NOT_SET_ASIDE, {error.Description().WithoutFullStop()})));
    return InstallResult::NotStarted;
  }
  try {
    held.DeleteAll(KeepAlive(run));
    CutPoint("target.emptied");
    return std::nullopt;
  } catch (const RuntimeError& error) {
    std::string folder = GetAbsolutePathName(run.plan.zem7Folder);
    run.reporter.Report(
        kLocation,
        RuntimeError(error.Number(), Message(IDS_PARTLY_EMPTIED, {error.Description(), folder, WhatIsLeft(folder)})));
    return InstallResult::PartlyEmptied;
  }
}

// A new or empty folder says at once that a run fills it, before the first
// file, with the player's files from the VirtualStore set aside. While the
// run extracts and starts the mod's tools there, only administrators may
// write it: a right for the players that an earlier run gave comes off.
void CreateTargetFolder(RunContext& run, RecordKeeper& keeper) {
  constexpr const char* kStepLocation = "modZEM7::SafeCreateFolder";
  SafeCreateFolder(run, run.plan.zem7Folder, true);
  if (!FileSystem::FolderExists(run.plan.zem7Folder)) return;
  if (!keeper.IsUnderWay()) {
    try {
      keeper.BeginRun(run, nullptr);
    } catch (const RuntimeError& error) {
      keeper.Abandon(run);
      run.reporter.Report(kStepLocation, error);
      return;
    }
  }
  Trap(run.reporter, kStepLocation, [&] {
    if (FileSystem::StopUsersModifying(run.plan.zem7Folder))
      run.log.Write({IDS_LOG_TAKING_USERS_RIGHT, {run.plan.zem7Folder}});
    keeper.NoteUsersMayModify(false);
  });
}

// Once the last of the mod's tools has run and gone, and the uninstaller and
// the record are protected from the players, the folder becomes one that
// they may write, as the game does into its own folder. The record notes the
// right before it is given; a grant that fails is reported, and every run
// takes the right off first whatever the record says.
void LetPlayersWriteTheFolder(RunContext& run) {
  Trap(run.reporter, kLocation, [&] {
    if (FileSystem::LetUsersModify(run.plan.zem7Folder)) run.log.Write({IDS_LOG_LETTING_USERS, {run.plan.zem7Folder}});
  });
}

struct Step {
  const char* location;  // the name the user and the log know it by
  void (*perform)(RunContext&);
};

// The first step, which makes the folder and begins the record, is the
// keeper's too: it stands here by its name alone.
constexpr size_t kCreateFolder = 0;
constexpr Step kSteps[] = {
    {"modZEM7::SafeCreateFolder", nullptr},
    {"modZEM7::CopyFlatOutFiles", CopyFlatOutFiles},
    {"modZEM7::CopyZEM7Files", CopyZEM7Files},
    {"modZEM7::UnpackZEM7SystemFiles", UnpackZEM7SystemFiles},
    {"modZEM7::UnpackBFSFile", UnpackBFSFile},
    {"modZEM7::CopyTracks", CopyTracks},
    {"modZEM7::UnpackZEM7TrackFiles", UnpackZEM7TrackFiles},
    {"modZEM7::DeleteTrackFolders", DeleteTrackFolders},
    {"modZEM7::SplitAndPackTrackFolders", SplitAndPackTrackFolders},
    {"modZEM7::CreateShortcuts", CreateShortcuts},
    {"modZEM7::CleanUp", CleanUp},
    {"modZEM7::FinalMessage", FinalMessage},
};
constexpr size_t kStepCount = std::size(kSteps);
constexpr size_t kFinalMessage = kStepCount - 1;

InstallResult StopBeforeTheSteps(RunContext& run, InstallResult result = InstallResult::NotStarted) {
  run.ui.SetMousePointer(MousePointer::Default);
  return result;
}

// A stop is no error: it is not counted and brings no report, but the log and
// the user are told where the installation ended, and the window closes.
InstallResult RecordStop(RunContext& run, RecordKeeper& keeper, size_t step) {
  run.stoppable = false;
  keeper.CommitRun(run, RecordStage::Stopped);
  int errors = run.reporter.Count();
  if (errors > 0) run.log.Write({IDS_LOG_ERRORS_REPORTED, {std::to_string(errors)}});
  run.log.Write(
      {IDS_LOG_STOPPED_DURING_STEP, {std::to_string(step + 1), std::to_string(kStepCount), kSteps[step].location}});
  Message kept = std::string();
  if (std::string holding = keeper.KeptIn(); !holding.empty()) {
    kept = Message(IDS_KEPT_IN, {holding});
    run.log.Write({IDS_LOG_FILES_KEPT_IN, {holding}});
  }
  run.ui.SetMousePointer(MousePointer::Default);
  run.ui.ShowMessage(Message::Lines({IDS_STOPPED, kept}), IDS_TITLE_INSTALLATION, MB_OK | MB_ICONWARNING);
  run.ui.Unload();
  return InstallResult::Stopped;
}

// Stopped while the mod's files were tested: nothing has been changed yet.
InstallResult StopBeforeAnyChange(RunContext& run) {
  run.stoppable = false;
  run.log.Write(IDS_LOG_STOPPED_WHILE_TESTING);
  run.ui.SetMousePointer(MousePointer::Default);
  run.ui.ShowMessage(IDS_STOPPED_BEFORE_CHANGE, IDS_TITLE_INSTALLATION, MB_OK | MB_ICONWARNING);
  run.ui.Unload();
  return InstallResult::StoppedBeforeAnyChange;
}

// A caller's folder that is gone meanwhile gives way to the fallback.
class CurrentFolderScope {
 public:
  explicit CurrentFolderScope(const std::string& fallback) : saved_(MAX_PATH, L'\0'), fallback_(Widen(fallback)) {
    saved_.resize(GetCurrentDirectoryW(static_cast<DWORD>(saved_.size()), saved_.data()));
  }
  ~CurrentFolderScope() {
    if (saved_.empty() || !SetCurrentDirectoryW(saved_.c_str())) SetCurrentDirectoryW(fallback_.c_str());
  }
  CurrentFolderScope(const CurrentFolderScope&) = delete;
  CurrentFolderScope& operator=(const CurrentFolderScope&) = delete;

 private:
  std::wstring saved_;
  std::wstring fallback_;
};

void PerformStep(RunContext& run, RecordKeeper& keeper, size_t step) {
  if (step == kCreateFolder) return CreateTargetFolder(run, keeper);
  kSteps[step].perform(run);
}

}  // namespace

InstallResult InstallZEM7(RunContext& run, FileSystem::HeldTree* targetToEmpty, RecordKeeper& keeper) {
  InstallationScope installation(run.ui);
  run.facts = {};
  size_t step = 0;
  return TrapResult(run.reporter, kLocation, InstallResult::NotStarted, [&] {
    if (FileSystem::FileExists(run.log.Path())) SafeDeleteFile(run, run.log.Path(), true);
    run.log.Write(IDS_LOG_STARTING);
    run.log.Write(LanguageLogEntry(run.language));
    run.ui.SetMousePointer(MousePointer::Hourglass);
    // From the go-ahead to the end of the clean-up, the user may stop it.
    run.stoppable = true;
    try {
      // A damaged download is found before anything is touched.
      if (!TestModArchives(run)) return StopBeforeTheSteps(run);
    } catch (const InstallationStopped&) {
      return StopBeforeAnyChange(run);
    }
    try {
      if (targetToEmpty)
        if (std::optional<InstallResult> failed = EmptyTargetFolder(run, *targetToEmpty, keeper))
          return StopBeforeTheSteps(run, *failed);
      for (; step < kStepCount; ++step) {
        if (step == kFinalMessage) {
          run.stoppable = false;
          keeper.PutBack(run);
          // The uninstaller and the record are protected before the players may write the folder.
          keeper.NoteUsersMayModify(true);
          keeper.CommitRun(run, RecordStage::Complete);
          LetPlayersWriteTheFolder(run);
        }
        CurrentFolderScope currentFolder(run.plan.installerFolder);
        PerformStep(run, keeper, step);
        // Without its folder, or its record, every step would fail, and the shortcuts would point at nothing.
        if (step == kCreateFolder && (!FileSystem::FolderExists(run.plan.zem7Folder) || !keeper.IsUnderWay()))
          return StopBeforeTheSteps(run);
        // What a step made is the run's from its end: a cut later tells it from what the player makes.
        if (step < kFinalMessage) {
          CutPoint("step.ended");
          Trap(run.reporter, kLocation, [&] { keeper.NoteMade(run); });
        }
        StopIfRequested(run);
      }
    } catch (const InstallationStopped&) {
      return RecordStop(run, keeper, step);
    }
    return InstallResult::Completed;
  });
}
