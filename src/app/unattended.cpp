#include "app/unattended.h"

#include <windows.h>

#include <atomic>

#include "app/install_command.h"
#include "app/startup.h"
#include "window/window_user_interface.h"
#include "support/console.h"
#include "support/error_report.h"

namespace {

bool Answer(Question question, const CommandLineOptions& options) {
  switch (question) {
    case Question::RecreateTarget: return options.recreate;
    case Question::RecreateUnfinished: return true;  // the same command again finishes what was cut off
    case Question::ConfirmInstall: return true;
    case Question::InstallLobby: return options.lobby;
    case Question::PlayNow: return options.play;
    case Question::StopInstallation: return true;  // a polite request to end was made
  }
  return false;
}

Message ExitLine(int exitCode, int errors) {
  switch (exitCode) {
    case kExitInstalled: return IDS_LOG_EXIT_INSTALLED;
    case kExitInstalledWithErrors: return Message(IDS_LOG_EXIT_WITH_ERRORS, {std::to_string(errors)});
    case kExitStopped: return IDS_LOG_EXIT_STOPPED;
    default: return IDS_LOG_EXIT_REFUSED;
  }
}

Message ExitLine(CommandOutcome outcome, int exitCode, int errors) {
  if (outcome == CommandOutcome::StoppedBeforeAnyChange) return IDS_LOG_EXIT_STOPPED_BEFORE_CHANGE;
  if (outcome == CommandOutcome::PartlyEmptied) return IDS_LOG_EXIT_PARTLY_EMPTIED;
  return ExitLine(exitCode, errors);
}

int ExitCodeOf(CommandOutcome outcome, int errors) {
  if (outcome == CommandOutcome::Stopped || outcome == CommandOutcome::StoppedBeforeAnyChange) return kExitStopped;
  if (outcome != CommandOutcome::Installed) return kExitRefused;
  return errors == 0 ? kExitInstalled : kExitInstalledWithErrors;
}

constexpr TextId kChecksTitle = IDS_TITLE_INSTALLER;

// Ctrl+C or Ctrl+Break in the console the installer is attached to asks the
// window to close, as a polite request to end does. The console calls its
// handler on a thread of its own and hands it nothing: the window it posts
// to is the one thing kept for it here.
class StopOnConsoleBreak {
 public:
  explicit StopOnConsoleBreak(HWND window) {
    target_ = window;
    // A program started in a group of its own ignores Ctrl+C unless it says otherwise.
    SetConsoleCtrlHandler(nullptr, FALSE);
    SetConsoleCtrlHandler(OnBreak, TRUE);
  }
  ~StopOnConsoleBreak() {
    SetConsoleCtrlHandler(OnBreak, FALSE);
    target_ = nullptr;
  }
  StopOnConsoleBreak(const StopOnConsoleBreak&) = delete;
  StopOnConsoleBreak& operator=(const StopOnConsoleBreak&) = delete;

 private:
  static BOOL WINAPI OnBreak(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    if (HWND window = target_.load()) PostMessageW(window, WM_CLOSE, 0, 0);
    return TRUE;
  }
  static inline std::atomic<HWND> target_{nullptr};
};

}  // namespace

int UnattendedUserInterface::ShowMessage(const Message& message, TextId title, unsigned style) {
  WriteToConsole(Stream::Error, message.English() + "\r\n");
  // Reports are logged by the reporter, and a stop by the driver; what comes
  // with the checks' title is a refusal.
  if (title == kChecksTitle) refusals_.push_back(message);
  return (style & MB_TYPEMASK) == MB_OK ? IDOK : IDNO;
}

int UnattendedUserInterface::Ask(Question question, const Message& text, TextId, unsigned) {
  bool yes = Answer(question, options_);
  WriteToConsole(Stream::Output, text.English() + (yes ? " Yes" : " No") + "\r\n");
  // Refused without a further word in the window: a script needs the reason.
  if (question == Question::RecreateTarget && !yes) {
    Message refusal(IDS_LOG_RECREATE_NOT_GIVEN);
    WriteToConsole(Stream::Error, refusal.English() + "\r\n");
    refusals_.push_back(refusal);
  }
  return yes ? IDYES : IDNO;
}

void UnattendedUserInterface::SetMousePointer(MousePointer pointer) {
  if (display_) display_->SetMousePointer(pointer);
}

void UnattendedUserInterface::ShowProgress(int entryCount, int scale, const std::string& percentText) {
  if (display_) display_->ShowProgress(entryCount, scale, percentText);
}

void UnattendedUserInterface::PrependProgressText(const std::string& stamp, const Message& text) {
  WriteToConsole(Stream::Output, stamp + text.English() + "\r\n");
  if (display_) display_->PrependProgressText(stamp, text);
}

void UnattendedUserInterface::EnableInput(bool enabled) {
  if (display_) display_->EnableInput(enabled);
}

void UnattendedUserInterface::PumpMessages() { window_.PumpMessages(); }

void UnattendedUserInterface::ShowToolActivity(const std::string& tool, unsigned elapsedSeconds) {
  if (display_) display_->ShowToolActivity(tool, elapsedSeconds);
  unsigned minutes = elapsedSeconds / 60;
  if (tool.empty()) minutesTold_ = 0;
  if (tool.empty() || minutes == 0 || minutes == minutesTold_) return;
  minutesTold_ = minutes;
  WriteToConsole(Stream::Output, tool + " is still working (" + std::to_string(minutes) + " min)\r\n");
}

void UnattendedUserInterface::BeginInstallation() {
  if (display_) display_->BeginInstallation();
}

void UnattendedUserInterface::EndInstallation() {
  if (display_) display_->EndInstallation();
}

void UnattendedUserInterface::Unload() {
  if (display_) display_->Unload();
}

int RunUnattended(const CommandLineOptions& options) {
  // A /SILENT run's window speaks the player's language; what a script reads is English.
  LanguageChoice language = ChooseLanguage(options.language);
  MainWindow window(language.language);
  WindowUserInterface windowUi(window);
  UnattendedUserInterface ui(options, windowUi);
  RunContext run(ui, PlanFor(options));
  run.language = language;
  InstallCommands commands(run);
  RunFolders folders;
  if (options.mode == RunMode::Silent) {
    Main(run, window, commands, options);
    if (!window.IsOpen()) return kExitBadStart;  // reported
    folders = {window.Text(ControlId::GameFolderBox), window.Text(ControlId::TargetFolderBox)};
  } else {
    // Never shown: it is there to receive a polite request to end.
    Trap(run.reporter, "modMain::Main", [&] { window.Create(commands, run.reporter); });
    folders = ProposeFolders(run, options);
  }
  StopOnConsoleBreak console(window.Handle());
  CommandOutcome outcome = RunInstallCommand(run, folders.game, folders.target);
  for (const Message& refusal : ui.TakeRefusals()) run.log.Write(refusal);
  int errors = run.reporter.Count();
  int exitCode = ExitCodeOf(outcome, errors);
  run.log.Write(ExitLine(outcome, exitCode, errors));
  return exitCode;
}
