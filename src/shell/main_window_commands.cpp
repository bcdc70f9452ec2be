// The window's commands: the two folder pickers, the install button and the
// website label.
#include <windows.h>
#include <shellapi.h>

#include "shell/folder_browse.h"
#include "shell/install_command.h"
#include "shell/main_window.h"
#include "support/text.h"

void MainWindow::OnCommand(ControlId id) {
  switch (id) {
    case ControlId::GameFolderButton: OnBrowseGameFolder(); break;
    case ControlId::TargetFolderButton: OnBrowseTargetFolder(); break;
    case ControlId::InstallButton: OnInstall(); break;
    case ControlId::WebsiteLabel: OnOpenWebsite(); break;
    default: break;
  }
}

void MainWindow::OnBrowseGameFolder() {
  Trap(run_->reporter, "frmMain::cmdFlatOutGameFolder_Click", [this] {
    std::string chosen = BrowseForFolder(
        Text(ControlId::GameFolderBox), hwnd_,
        "Please select the location of the FlatOut Game folder:", kBrowseNewDialogStyle | kBrowseNoNewFolderButton);
    if (!chosen.empty()) SetText(ControlId::GameFolderBox, chosen);
  });
}

void MainWindow::OnBrowseTargetFolder() {
  Trap(run_->reporter, "frmMain::cmdZEM7GameFolder_Click", [this] {
    std::string chosen = BrowseForFolder(
        Text(ControlId::TargetFolderBox), hwnd_,
        "Please select the location of where the ZEM7 Mod will be installed into:", kBrowseNewDialogStyle);
    if (!chosen.empty()) SetText(ControlId::TargetFolderBox, chosen);
  });
}

void MainWindow::OnInstall() {
  RunInstallCommand(*run_, Text(ControlId::GameFolderBox), Text(ControlId::TargetFolderBox));
}

void MainWindow::OnOpenWebsite() {
  ShellExecuteW(hwnd_, L"open", Widen(kWebsiteAddress).c_str(), nullptr, nullptr, SW_SHOWMAXIMIZED);
}

void MainWindow::OnClose() {
  // Closing in the middle would leave a half-built folder and steps writing to a window that is gone.
  if (run_ && run_->installing) {
    run_->ui.ShowMessage(
        "The installation is still running and cannot be stopped safely.\r\n"
        "Please wait until it has finished.",
        "ZEM7 Installer", MB_OK | MB_ICONINFORMATION);
    return;
  }
  Destroy();
}
