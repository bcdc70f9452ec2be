// The window's commands: the two folder pickers and the website label change
// only the window; the install button and closing go to the application.
#include <windows.h>
#include <shellapi.h>

#include "window/folder_browse.h"
#include "window/main_window.h"
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
  Trap(*reporter_, "frmMain::cmdFlatOutGameFolder_Click", [this] {
    std::string chosen = BrowseForFolder(Text(ControlId::GameFolderBox), hwnd_, TextIn(language_, IDS_BROWSE_GAME),
                                         kBrowseNewDialogStyle | kBrowseNoNewFolderButton);
    if (!chosen.empty()) SetText(ControlId::GameFolderBox, chosen);
  });
}

void MainWindow::OnBrowseTargetFolder() {
  Trap(*reporter_, "frmMain::cmdZEM7GameFolder_Click", [this] {
    std::string chosen = BrowseForFolder(Text(ControlId::TargetFolderBox), hwnd_, TextIn(language_, IDS_BROWSE_TARGET),
                                         kBrowseNewDialogStyle);
    if (!chosen.empty()) SetText(ControlId::TargetFolderBox, chosen);
  });
}

void MainWindow::OnInstall() { commands_->Install(Text(ControlId::GameFolderBox), Text(ControlId::TargetFolderBox)); }

void MainWindow::OnOpenWebsite() {
  ShellExecuteW(hwnd_, L"open", Widen(kWebsiteAddress).c_str(), nullptr, nullptr, SW_SHOWMAXIMIZED);
}

void MainWindow::OnClose() {
  if (!commands_ || commands_->MayClose()) Destroy();
}
