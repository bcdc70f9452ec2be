#include "app/install_command.h"

#include <windows.h>

#include "fileops/file_system.h"
#include "install/install_steps.h"
#include "support/keep_alive.h"
#include "support/path_helpers.h"
#include "support/text.h"

namespace {

constexpr const char* kLocation = "frmMain::cmdInstall_Click";
constexpr const char* kTitle = "ZEM7 Installer";

bool ConfirmInstallation(RunContext& run) {
  int answer = run.ui.Ask(
      Question::ConfirmInstall,
      "Are you sure you want to install ZEM7?\r\n\r\nPlease note that this will take at least 10 minutes to install.",
      kTitle, MB_YESNO | MB_ICONQUESTION);
  return answer == IDYES;
}

// The steps change the current folder, so a folder given relative to the
// current one is made full before they start; a full one stays as written,
// with repeated backslashes made one. An empty text stays empty: it names no
// folder, and the checks say so.
std::string PlanFolder(const std::string& text) {
  std::string trimmed = Trim(text, ' ');
  if (trimmed.empty()) return {};
  std::string folder = FormatPath(CollapseBackslashes(trimmed));
  bool full = folder.starts_with("\\\\") || (folder.size() >= 3 && folder[1] == ':' && folder[2] == '\\');
  return full ? folder : FormatPath(GetAbsolutePathName(folder));
}

}  // namespace

bool ReadyToInstall(RunContext& run, const FreeSpaceProbe& probe) {
  Readiness readiness = CheckIfReadyToInstall(run);
  if (readiness == Readiness::Refused) return false;
  bool recreate = readiness == Readiness::ReadyOnceEmptied;
  if (recreate && !CanEmptyTargetFolder(run)) return false;
  uint64_t freed = recreate ? FileSystem::TreeSize(run.plan.zem7Folder, KeepAlive(run)) : 0;
  if (!HasEnoughSpace(run, probe, freed)) return false;
  run.plan.emptyTargetFirst = recreate;
  return true;
}

CommandOutcome RunInstallCommand(RunContext& run, const std::string& gameFolderText,
                                 const std::string& targetFolderText, const FreeSpaceProbe& probe) {
  // The window stays responsive during a run; a second run must not start on top of it.
  if (run.installing) {
    run.ui.ShowMessage("The installation of ZEM7 is already running.\r\nPlease wait until it has finished.", kTitle,
                       MB_OK | MB_ICONINFORMATION);
    return CommandOutcome::NotStarted;
  }
  // From the click on: a second click or a close must not change the folders
  // under a running check, the deletion of the target, or the installation.
  InstallingScope installing(run);
  run.reporter.StartCounting();
  return TrapResult(run.reporter, kLocation, CommandOutcome::NotStarted, [&] {
    run.plan.gameFolder = PlanFolder(gameFolderText);
    run.plan.zem7Folder = PlanFolder(targetFolderText);
    run.plan.emptyTargetFirst = false;
    if (!ReadyToInstall(run, probe)) return CommandOutcome::NotStarted;
    if (!ConfirmInstallation(run)) return CommandOutcome::Declined;
    switch (InstallZEM7(run)) {
      case InstallResult::Completed: return CommandOutcome::Installed;
      case InstallResult::Stopped: return CommandOutcome::Stopped;
      case InstallResult::NotStarted: break;
    }
    return CommandOutcome::NotStarted;
  });
}

void InstallCommands::Install(const std::string& gameFolderText, const std::string& targetFolderText) {
  RunInstallCommand(run_, gameFolderText, targetFolderText);
}

// Once the installation runs, a close asks whether to stop it; the window
// closes when the stop has been made. Before that, the checks cannot be left
// half way, and after the clean-up only the closing questions remain.
bool InstallCommands::MayClose() {
  if (!run_.installing) return true;
  if (run_.stopRequested || askingToStop_) return false;
  if (run_.stoppable) {
    askingToStop_ = true;
    int answer = run_.ui.Ask(Question::StopInstallation,
                             "The installation is still running. Do you want to stop it?\r\n\r\n"
                             "The ZEM7 Game Folder will be left incomplete; run the installer again to recreate it.",
                             kTitle, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2);
    askingToStop_ = false;
    if (answer == IDYES) run_.stopRequested = true;
    return false;
  }
  run_.ui.ShowMessage(
      "The installation is still running and cannot be stopped safely.\r\n"
      "Please wait until it has finished.",
      kTitle, MB_OK | MB_ICONINFORMATION);
  return false;
}
