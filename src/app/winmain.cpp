// The program's entry: the command line decides between the window and an
// unattended run, or refuses, or shows the usage.
#include <windows.h>

#include "app/command_line.h"
#include "app/removal_command.h"
#include "app/startup.h"
#include "app/unattended.h"
#include "app/windowed_run.h"
#include "install/installation_record.h"
#include "support/path_helpers.h"
#include "support/console.h"
#include "support/handles.h"
#include "support/text.h"
#include "window/main_window.h"

namespace {

// A box before any window, in the language /LANG= asked for, else the system's.
void ShowBox(const Message& text, const std::optional<Language>& asked, unsigned style) {
  Language language = ChooseLanguage(asked).language;
  MessageBoxW(nullptr, Widen(text.In(language)).c_str(), Widen(TextIn(language, IDS_TITLE_INSTALLER)).c_str(), style);
}

// A bad command line touches nothing: it is told where it was typed, in
// English, or in a box when the window was wanted.
int RefuseCommandLine(const CommandLineError& error) {
  Message text = Message::Pattern("%1\r\n\r\n%2", {error.text, Usage()});
  WriteToConsole(Stream::Error, text.English());
  if (!error.unattended) ShowBox(text, error.language, MB_OK | MB_ICONHAND);
  return kExitBadStart;
}

int ShowUsage(const CommandLineOptions& options) {
  WriteToConsole(Stream::Output, Usage().English());
  if (options.mode == RunMode::Window) ShowBox(Usage(), options.language, MB_OK | MB_ICONINFORMATION);
  return kExitInstalled;
}

// One installer at a time: a second one would work on the same folders and
// the same log. The named mutex is the system's, released however this
// process ends.
constexpr wchar_t kInstanceMutex[] = L"Local\\ZEM7Installer.Running";

// A user who starts the installer again gets the running installer's window
// in front. A script, or a user whose running installer shows no window (an
// unattended run), is told instead; a script only on standard error.
int DeferToTheRunningInstaller(const CommandLineOptions& options) {
  HWND running = MainWindow::FindOpen();
  if (options.mode == RunMode::Window && running && IsWindowVisible(running)) {
    if (IsIconic(running)) ShowWindow(running, SW_RESTORE);
    SetForegroundWindow(running);
    return kExitBadStart;
  }
  WriteToConsole(Stream::Error, TextIn(Language::English, IDS_ANOTHER_RUNNING) + "\r\n");
  if (options.mode == RunMode::Window) ShowBox(IDS_ANOTHER_RUNNING, options.language, MB_OK | MB_ICONINFORMATION);
  return kExitBadStart;
}

int RunInstaller(const std::wstring& arguments) {
  // The folder picker's new-style dialog and the shortcuts need COM on this thread.
  ComScope com;
  auto parsed = ParseCommandLine(arguments);
  if (auto* error = std::get_if<CommandLineError>(&parsed)) return RefuseCommandLine(*error);
  CommandLineOptions options = std::get<CommandLineOptions>(parsed);
  if (options.help) return ShowUsage(options);
  // The copy in the installation's folder only ever removes it, also when a
  // player double-clicks it.
  std::string program = ExecutablePath();
  if (EqualsIgnoreCase(program.substr(program.find_last_of('\\') + 1), kUninstallerName)) options.uninstall = true;
  // The uninstaller's copy waits for the uninstaller, which holds the mutex.
  if (options.finishRemovalFor) return FinishRemovalFor(options);
  UniqueHandle instance(CreateMutexW(nullptr, FALSE, kInstanceMutex));
  if (GetLastError() == ERROR_ALREADY_EXISTS) return DeferToTheRunningInstaller(options);
  // Checked before anything is written: the run replaces the file it names.
  if (options.logPath)
    if (Message problem = WhyNotALogFile(*options.logPath); !problem.Empty())
      return RefuseCommandLine({problem, options.mode != RunMode::Window, options.language});
  if (options.uninstall) return RunRemoval(options);
  if (options.mode != RunMode::Window) return RunUnattended(options);
  return RunWindow(options);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // Started from a download folder: never load a DLL that lies beside the exe.
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  return RunInstaller(ProcessArguments());
}
