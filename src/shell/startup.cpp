#include "shell/startup.h"

#include <windows.h>
#include <objbase.h>

#include "fileops/file_system.h"
#include "registry/registry.h"
#include "shell/frm_main.h"
#include "support/error_report.h"
#include "support/installer_state.h"
#include "support/path_helpers.h"

namespace {

void RunMessageLoop() {
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (frmMain().TranslateKeyboard(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace

int RunInstaller() {
  // The folder picker's new-style dialog and the shortcuts need COM on this thread.
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  State().InstallerFolder = ExecutableFolder();
  State().Ui = &frmMain();
  Main();
  // A start-up that failed before the window was shown has been reported;
  // an invisible window would only linger, so the program ends here.
  bool shown = frmMain().IsLoaded() && IsWindowVisible(frmMain().Handle());
  if (shown) RunMessageLoop();
  if (SUCCEEDED(com)) CoUninitialize();
  return shown ? 0 : 1;
}

void Main() {
  Trap("modMain::Main", [] {
    frmMain().Load();
    if (!frmMain().IsLoaded()) ThrowLastError();
    frmMain().SetText(IDE_txtFlatOutGameFolder, GetFlatOutGameFolder());
    frmMain().SetText(IDE_txtZEM7GameFolder, GetZEM7GameFolderPath());
    frmMain().Show();
  });
}

std::string GetFlatOutGameFolder() {
  return TrapResult<std::string>("modMain::GetFlatOutGameFolder", "", []() -> std::string {
    std::string folder = ReadRegistryString(kFlatOutPathValue);
    if (FileSystem::FolderExists(folder)) return folder;
    // Only a value that names a missing folder falls back; a missing value is an error.
    if (FileSystem::FolderExists(kFallbackGameFolder)) return kFallbackGameFolder;
    return kGameFolderPlaceholder;
  });
}

std::string GetZEM7GameFolderPath() {
  return TrapResult<std::string>("modMain::GetZEM7GameFolderPath", "", [] {
    return GetAbsolutePathName(frmMain().Text(IDE_txtFlatOutGameFolder)) + " - ZEM7";
  });
}
