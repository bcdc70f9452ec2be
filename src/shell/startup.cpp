#include "shell/startup.h"

#include <windows.h>

#include "fileops/file_system.h"
#include "registry/registry.h"
#include "shell/game_search.h"
#include "shell/unattended.h"
#include "shell/window_user_interface.h"
#include "support/console.h"
#include "support/handles.h"
#include "support/path_helpers.h"
#include "support/runtime_error.h"
#include "support/text.h"

namespace {

void RunMessageLoop(MainWindow& window) {
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (window.TranslateKeyboard(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

constexpr const char* kTitle = "ZEM7 Installer";

// A bad command line touches nothing: it is told where it was typed, or in a
// box when the window was wanted.
int RefuseCommandLine(const CommandLineError& error) {
  std::string text = error.text + "\r\n\r\n" + kUsageText;
  WriteToConsole(Stream::Error, text);
  if (!error.unattended) MessageBoxW(nullptr, Widen(text).c_str(), Widen(kTitle).c_str(), MB_OK | MB_ICONHAND);
  return kExitBadStart;
}

int ShowUsage(const CommandLineOptions& options) {
  WriteToConsole(Stream::Output, kUsageText);
  if (options.mode == RunMode::Window)
    MessageBoxW(nullptr, Widen(kUsageText).c_str(), Widen(kTitle).c_str(), MB_OK | MB_ICONINFORMATION);
  return kExitInstalled;
}

int RunWindow(const CommandLineOptions& options) {
  MainWindow window;
  WindowUserInterface ui(window);
  RunContext run(ui, PlanFor(options));
  Main(run, window, options);
  // A start-up that failed before the window was shown has been reported;
  // an invisible window would only linger, so the program ends here.
  bool shown = window.IsOpen() && IsWindowVisible(window.Handle());
  if (shown) RunMessageLoop(window);
  return shown ? kExitInstalled : kExitBadStart;
}

}  // namespace

int RunInstaller(const std::wstring& arguments) {
  // The folder picker's new-style dialog and the shortcuts need COM on this thread.
  ComScope com;
  auto parsed = ParseCommandLine(arguments);
  if (auto* error = std::get_if<CommandLineError>(&parsed)) return RefuseCommandLine(*error);
  const CommandLineOptions& options = std::get<CommandLineOptions>(parsed);
  if (options.help) return ShowUsage(options);
  if (options.mode != RunMode::Window) return RunUnattended(options);
  return RunWindow(options);
}

InstallPlan PlanFor(const CommandLineOptions& options) {
  InstallPlan plan = InstallPlan::ForInstallerFolder(ExecutableFolder());
  if (options.logPath) plan.logPath = GetAbsolutePathName(*options.logPath);
  return plan;
}

void Main(RunContext& run, MainWindow& window, const CommandLineOptions& options) {
  Trap(run.reporter, "modMain::Main", [&] {
    window.Create(run);
    RunFolders folders = ProposeFolders(run, options);
    window.SetText(ControlId::GameFolderBox, folders.game);
    window.SetText(ControlId::TargetFolderBox, folders.target);
    window.Show();
  });
}

// The registry is asked only when no folder was given: a missing key is then no error.
RunFolders ProposeFolders(RunContext& run, const CommandLineOptions& options) {
  std::string game = options.gameFolder ? *options.gameFolder : GetFlatOutGameFolder(run);
  std::string target = options.targetFolder ? *options.targetFolder : GetZEM7GameFolderPath(run, game);
  return {game, target};
}

std::string GetFlatOutGameFolder(RunContext& run) {
  return TrapResult<std::string>(run.reporter, "modMain::GetFlatOutGameFolder", "", []() -> std::string {
    std::string folder;
    try {
      folder = ReadRegistryString(kFlatOutPathValue);
    } catch (const RuntimeError&) {
      // Store copies record no value: its absence is an error only when no store has the game either.
      if (std::optional<std::string> found = FindGameInLibraries()) return *found;
      throw;
    }
    if (FileSystem::FolderExists(folder)) return folder;
    // Only a value that names a missing folder falls back; a missing value is an error.
    if (FileSystem::FolderExists(kFallbackGameFolder)) return kFallbackGameFolder;
    return FindGameInLibraries().value_or(kGameFolderPlaceholder);
  });
}

std::string GetZEM7GameFolderPath(RunContext& run, const std::string& gameFolderText) {
  return TrapResult<std::string>(run.reporter, "modMain::GetZEM7GameFolderPath", "",
                                 [&] { return GetAbsolutePathName(gameFolderText) + " - ZEM7"; });
}
