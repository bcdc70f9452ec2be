#include "app/removal_command.h"

#include <windows.h>

#include <optional>

#include "app/startup.h"
#include "app/target_folder.h"
#include "fileops/file_system.h"
#include "fileops/folder_identity.h"
#include "fileops/held_tree.h"
#include "install/record_keeper.h"
#include "install/removal.h"
#include "support/console.h"
#include "support/cut_point.h"
#include "support/path_helpers.h"
#include "support/run_context.h"
#include "support/text.h"

namespace {

constexpr const char* kTitle = "ZEM7 Uninstall";

// No window: a person gets boxes, a script the console, and nobody waits.
class RemovalUserInterface : public UserInterface {
 public:
  explicit RemovalUserInterface(bool withBoxes) : withBoxes_(withBoxes) {}
  int ShowMessage(const std::string& text, const std::string& title, unsigned style) override {
    bool error = (style & MB_ICONMASK) == MB_ICONHAND || title == kReportTitle;
    WriteToConsole(error ? Stream::Error : Stream::Output, text + "\r\n");
    if (!withBoxes_) return (style & MB_TYPEMASK) == MB_OK ? IDOK : IDYES;
    return MessageBoxW(nullptr, Widen(text).c_str(), Widen(title).c_str(), style);
  }
  void SetMousePointer(MousePointer) override {}
  void ShowProgress(int, int, const std::string&) override {}
  void PrependProgressText(const std::string& entry) override { WriteToConsole(Stream::Output, entry); }
  void EnableInput(bool) override {}
  void PumpMessages() override {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  }
  void Unload() override {}

 private:
  bool withBoxes_;
};

InstallPlan RemovalPlan(const CommandLineOptions& options) {
  InstallPlan plan = InstallPlan::ForInstallerFolder(ExecutableFolder());
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH, temp);
  plan.logPath =
      options.logPath ? LongPathName(GetAbsolutePathName(*options.logPath)) : Narrow(temp) + "ZEM7UninstallLog.txt";
  plan.zem7Folder =
      FormatPath(LongPathName(GetAbsolutePathName(options.targetFolder ? *options.targetFolder : ExecutableFolder())));
  return plan;
}

int Finish(RunContext& run, int exitCode, const std::string& line) {
  run.log.Write("Exit code " + std::to_string(exitCode) + ": " + line);
  return exitCode;
}

// A refusal is told and logged, as the installer's are.
int Refuse(RunContext& run, std::string why) {
  if (why.ends_with(".")) why.pop_back();
  std::string text = "The ZEM7 mod cannot be removed from \"" + run.plan.zem7Folder + "\": " + why + ".";
  run.ui.ShowMessage(text, kTitle, MB_OK | MB_ICONHAND);
  run.log.Write(text);
  return Finish(run, kExitRefused, "nothing was removed.");
}

// By identity, which sees through every alias, or by name.
bool LogLiesInside(const RunContext& run) {
  std::optional<FileSystem::FolderId> folder = FileSystem::IdentityOf(run.plan.zem7Folder);
  return ToUpper(run.plan.logPath).starts_with(ToUpper(run.plan.zem7Folder)) ||
         (folder && FileSystem::IsSameOrInside(run.plan.logPath, *folder));
}

// The record and the folder are checked before anything is touched. The
// record names the game it was made from, but the game is looked for as an
// installation finds it too: no record can lead the removal into it.
const InstallationRecord* CheckedRecord(RunContext& run, const CommandLineOptions& options,
                                        const RecordKeeper& keeper) {
  const InstallationRecord* record = keeper.Record();
  std::string why = keeper.WhyUnusable();
  if (!keeper.HasRecordFile()) why = "\"" + run.plan.zem7Folder + kRecordName + "\" cannot be read";
  if (record) run.plan.gameFolder = FormatPath(record->gameFolder);
  if (why.empty()) why = WhyNotAnInstallationFolder(run, run.plan.zem7Folder, KnownGameFolders(options));
  if (why.empty() && keeper.NamesAnotherFolder())
    why = "its record was made in another folder and copied here, so it does not tell which files are the mod's";
  if (why.empty()) why = WhyRecordIsUnsafe(run.plan.zem7Folder, *record);
  if (!why.empty()) {
    Refuse(run, why);
    return nullptr;
  }
  return record;
}

bool Confirmed(RunContext& run) {
  return run.ui.Ask(Question::ConfirmInstall,
                    "Do you want to remove the FlatOut ZEM7 Mod from \"" + run.plan.zem7Folder +
                        "\"?\r\n\r\nThe FlatOut game folder is not touched. Files that you made or changed in the "
                        "ZEM7 folder (saves, settings, screenshots) are kept.",
                    kTitle, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

std::vector<std::string> RecordedPaths(const InstallationRecord& record) {
  std::vector<std::string> paths;
  for (const FileSystem::FileFacts& file : record.files) paths.push_back(file.path);
  return paths;
}

std::string WhyHeld(const FileSystem::Obstacle& obstacle) {
  return "\"" + obstacle.path + "\" is in use by another program (" + SystemMessage(obstacle.error) + ")";
}

// When most of the files the record lists carry another time at their
// size, the times were more likely changed under them (the clock, the
// drive, a copy) than by the player: a removal by them would remove nothing
// and say it had.
std::string WhyMostLookChanged(size_t changed, size_t listed) {
  if (listed == 0 || changed * 2 <= listed) return {};
  return std::to_string(changed) + " of the " + std::to_string(listed) +
         " files its record lists look changed since the installation, more likely by the clock or the drive than "
         "by you; nothing was removed";
}

// All or nothing, and the record last: every recorded file and every folder
// is held before the first goes, and a removal cut off anywhere finds its
// record to finish by.
int Remove(RunContext& run, const CommandLineOptions& options) {
  run.log.Write("Starting to remove the ZEM7 mod from " + run.plan.zem7Folder);
  RecordKeeper keeper = RecordKeeper::Open(run.plan.zem7Folder);
  const InstallationRecord* record = CheckedRecord(run, options, keeper);
  if (!record) return kExitRefused;
  if (!Confirmed(run)) return Finish(run, kExitRefused, "the removal was declined; nothing was removed.");
  // Everything checked so far was checked by name: from here on it is
  // judged again through the handles the deletion goes through.
  CutPoint("removal.answered");
  try {
    keeper.BeginRemoval(run);
  } catch (const RuntimeError& error) {
    return Refuse(run, error.Description());
  }
  auto held = FileSystem::HeldTree::HoldFiles(run.plan.zem7Folder, RecordedPaths(*record));
  if (auto* obstacle = std::get_if<FileSystem::Obstacle>(&held)) return Refuse(run, WhyHeld(*obstacle));
  auto& tree = *std::get<std::unique_ptr<FileSystem::HeldTree>>(held);
  for (const FileSystem::NameLeadingOutside& name : tree.LeadingOutside())
    run.log.Write("Leaving in place what leads outside the folder: " + run.plan.zem7Folder + name.path + " (to " +
                  name.leadsTo + ")");
  // What the player changed since stays; so does what the record does not list.
  size_t listed = tree.Files().size();
  size_t changed =
      keeper.OnlyTimeChanged(tree.Release([&](const FileSystem::FileFacts& file) { return keeper.IsPlayers(file); }));
  if (std::string why = WhyMostLookChanged(changed, listed); !why.empty()) return Refuse(run, why);
  RemoveInstallation(run, tree, *record);
  std::vector<FileSystem::FileFacts> kept = FileSystem::FilesBelow(run.plan.zem7Folder);
  std::erase_if(kept, [](const FileSystem::FileFacts& file) { return IsInstallersOwnFile(file.path); });
  int errors = run.reporter.Count();
  std::string done = "The FlatOut ZEM7 Mod was removed from \"" + run.plan.zem7Folder + "\".";
  if (errors)
    done = "The FlatOut ZEM7 Mod could not be removed completely from \"" + run.plan.zem7Folder +
           "\".\r\nIts record stays there: run the removal again to finish it.";
  else
    RemoveEntryRecordAndUninstaller(run, keeper, *record);
  if (!kept.empty())
    done += "\r\n" + std::to_string(kept.size()) + " file(s) that you made or changed were kept there.";
  // Saves that Windows put aside for a game without rights are never touched.
  std::string store = keeper.VirtualStore();
  if (size_t stored = keeper.FilesInVirtualStore())
    done += "\r\n" + std::to_string(stored) + " file(s) of yours that Windows keeps for this folder in \"" + store +
            "\" were kept there.";
  run.log.Write(done);
  errors = run.reporter.Count();
  run.ui.ShowMessage(done, kTitle, MB_OK | (errors ? MB_ICONWARNING : MB_ICONINFORMATION));
  if (errors)
    return Finish(run, kExitInstalledWithErrors,
                  "the removal ran to its end with " + std::to_string(errors) + " error(s).");
  return Finish(run, kExitInstalled, "the ZEM7 mod was removed.");
}

}  // namespace

int RunRemoval(const CommandLineOptions& options) {
  RemovalUserInterface ui(options.mode == RunMode::Window);
  RunContext run(ui, RemovalPlan(options));
  // Started in its own folder, as a double-click starts it, it would hold
  // that folder against its removal: the plan's paths are full by now.
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH, temp);
  SetCurrentDirectoryW(temp);
  run.reporter.StartCounting();
  if (LogLiesInside(run)) {
    // The refusal itself must not land in the folder it promised to leave alone.
    run.log.StopWritingTheFile();
    return Refuse(run, "the log file \"" + run.plan.logPath + "\" cannot lie inside the folder to remove");
  }
  if (FileSystem::FileExists(run.log.Path())) DeleteFileW(Widen(run.log.Path()).c_str());
  return Remove(run, options);
}

int FinishRemovalFor(const CommandLineOptions& options) {
  return FinishRemoval(*options.finishRemovalFor, FormatPath(options.targetFolder.value_or("")));
}
