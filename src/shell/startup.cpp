#include "shell/startup.h"

#include <windows.h>

#include "fileops/file_system.h"
#include "registry/registry.h"
#include "shell/window_user_interface.h"
#include "support/handles.h"
#include "support/path_helpers.h"

namespace {

void RunMessageLoop(MainWindow& window) {
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (window.TranslateKeyboard(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace

int RunInstaller() {
  // The folder picker's new-style dialog and the shortcuts need COM on this thread.
  ComScope com;
  MainWindow window;
  WindowUserInterface ui(window);
  RunContext run(ui, InstallPlan::ForInstallerFolder(ExecutableFolder()));
  Main(run, window);
  // A start-up that failed before the window was shown has been reported;
  // an invisible window would only linger, so the program ends here.
  bool shown = window.IsOpen() && IsWindowVisible(window.Handle());
  if (shown) RunMessageLoop(window);
  return shown ? 0 : 1;
}

void Main(RunContext& run, MainWindow& window) {
  Trap(run.reporter, "modMain::Main", [&] {
    window.Create(run);
    window.SetText(ControlId::GameFolderBox, GetFlatOutGameFolder(run));
    window.SetText(ControlId::TargetFolderBox, GetZEM7GameFolderPath(run, window.Text(ControlId::GameFolderBox)));
    window.Show();
  });
}

std::string GetFlatOutGameFolder(RunContext& run) {
  return TrapResult<std::string>(run.reporter, "modMain::GetFlatOutGameFolder", "", []() -> std::string {
    std::string folder = ReadRegistryString(kFlatOutPathValue);
    if (FileSystem::FolderExists(folder)) return folder;
    // Only a value that names a missing folder falls back; a missing value is an error.
    if (FileSystem::FolderExists(kFallbackGameFolder)) return kFallbackGameFolder;
    return kGameFolderPlaceholder;
  });
}

std::string GetZEM7GameFolderPath(RunContext& run, const std::string& gameFolderText) {
  return TrapResult<std::string>(run.reporter, "modMain::GetZEM7GameFolderPath", "",
                                 [&] { return GetAbsolutePathName(gameFolderText) + " - ZEM7"; });
}
