#include "app/install_command.h"

#include <windows.h>

#include <optional>

#include "install/install_steps.h"
#include "support/path_helpers.h"
#include "support/text.h"

namespace {

constexpr const char* kLocation = "frmMain::cmdInstall_Click";
constexpr TextId kTitle = IDS_TITLE_INSTALLER;

bool ConfirmInstallation(RunContext& run) {
  int answer = run.ui.Ask(Question::ConfirmInstall, IDS_CONFIRM_INSTALL, kTitle, MB_YESNO | MB_ICONQUESTION);
  return answer == IDYES;
}

// The steps change the current folder and the tools get the path in their
// command lines and "in.txt": every folder, typed into the window or given on
// the command line, is made one plain full path first, with "." and ".."
// resolved and repeated backslashes made one. An empty text stays empty: it
// names no folder, and the checks say so. The system's own forms ("\\?\",
// "\\.\") skip the rules of plain paths and are refused (nothing then).
std::optional<std::string> PlanFolder(RunContext& run, const std::string& text, TextId systemForm) {
  std::string trimmed = Trim(text, ' ');
  if (trimmed.empty()) return std::string();
  std::string collapsed = CollapseBackslashes(trimmed);
  // "C:" alone means the drive, not the folder last current on it.
  if (collapsed.size() == 2 && collapsed[1] == ':') collapsed += '\\';
  if (HasSystemPrefix(collapsed)) {
    run.ui.ShowMessage(Message(systemForm, {trimmed}), kTitle, MB_OK | MB_ICONHAND);
    return std::nullopt;
  }
  std::string full = GetAbsolutePathName(collapsed);
  // A device's name at the end makes the system's form of it: the checks
  // refuse that name as written.
  if (HasSystemPrefix(full)) full = collapsed;
  return FormatPath(full);
}

}  // namespace

ReadyState ReadyToInstall(RunContext& run, const FreeSpaceProbe& probe) {
  ReadyState state;
  Readiness readiness = CheckIfReadyToInstall(run);
  if (readiness == Readiness::Refused) return state;
  // Read before the hold, which keeps every file but the record from being opened.
  state.keeper = RecordKeeper::Open(run.plan.zem7Folder);
  if (readiness == Readiness::ReadyOnceEmptied) {
    state.targetToEmpty = HoldTargetForEmptying(run);
    if (!state.targetToEmpty) return state;
  }
  if (!HasEnoughSpace(run, probe, state.targetToEmpty ? state.targetToEmpty->Bytes() : 0)) {
    state.targetToEmpty.reset();
    return state;
  }
  state.ready = true;
  return state;
}

CommandOutcome RunInstallCommand(RunContext& run, const std::string& gameFolderText,
                                 const std::string& targetFolderText, const FreeSpaceProbe& probe) {
  // The window stays responsive during a run; a second run must not start on top of it.
  if (run.installing) {
    run.ui.ShowMessage(IDS_ALREADY_RUNNING, kTitle, MB_OK | MB_ICONINFORMATION);
    return CommandOutcome::NotStarted;
  }
  // From the click on: a second click or a close must not change the folders
  // under a running check, the deletion of the target, or the installation.
  InstallingScope installing(run);
  run.reporter.StartCounting();
  return TrapResult(run.reporter, kLocation, CommandOutcome::NotStarted, [&] {
    std::optional<std::string> game = PlanFolder(run, gameFolderText, IDS_SYSTEM_FORM_GAME);
    std::optional<std::string> target = game ? PlanFolder(run, targetFolderText, IDS_SYSTEM_FORM_TARGET) : std::nullopt;
    if (!target) return CommandOutcome::NotStarted;
    run.plan.gameFolder = *game;
    run.plan.zem7Folder = *target;
    // A current folder inside the target (a start from there) would hold it
    // against its emptying: the folders are full paths by now.
    SetCurrentDirectoryW(Widen(run.plan.installerFolder).c_str());
    ReadyState ready = ReadyToInstall(run, probe);
    if (!ready) return CommandOutcome::NotStarted;
    if (!ConfirmInstallation(run)) return CommandOutcome::Declined;
    switch (InstallZEM7(run, ready.targetToEmpty.get(), *ready.keeper)) {
      case InstallResult::Completed: return CommandOutcome::Installed;
      case InstallResult::Stopped: return CommandOutcome::Stopped;
      case InstallResult::StoppedBeforeAnyChange: return CommandOutcome::StoppedBeforeAnyChange;
      case InstallResult::PartlyEmptied: return CommandOutcome::PartlyEmptied;
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
    int answer =
        run_.ui.Ask(Question::StopInstallation, IDS_ASK_STOP, kTitle, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2);
    askingToStop_ = false;
    if (answer == IDYES) run_.stopRequested = true;
    return false;
  }
  run_.ui.ShowMessage(IDS_CANNOT_STOP, kTitle, MB_OK | MB_ICONINFORMATION);
  return false;
}
