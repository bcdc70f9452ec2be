#include <windows.h>
#include <shellapi.h>

#include "install/install_steps.h"
#include "shell/folder_browse.h"
#include "shell/frm_main.h"
#include "support/error_report.h"
#include "support/installer_state.h"
#include "support/path_helpers.h"
#include "support/text.h"

namespace {

constexpr const char* kCheckTitle = "ZEM7 Installer";

void BrowseInto(FrmMain& window, ControlId box, const char* prompt, unsigned flags) {
  std::string chosen = BrowseForFolder(window.Text(box), window.Handle(), prompt, flags);
  if (!chosen.empty()) window.SetText(box, chosen);
}

}  // namespace

void FrmMain::cmdFlatOutGameFolder_Click() {
  Trap("frmMain::cmdFlatOutGameFolder_Click", [this] {
    BrowseInto(*this, IDE_txtFlatOutGameFolder, "Please select the location of the FlatOut Game folder:",
               kBrowseNewDialogStyle | kBrowseNoNewFolderButton);
  });
}

void FrmMain::cmdZEM7GameFolder_Click() {
  Trap("frmMain::cmdZEM7GameFolder_Click", [this] {
    BrowseInto(*this, IDE_txtZEM7GameFolder, "Please select the location of where the ZEM7 Mod will be installed into:",
               kBrowseNewDialogStyle);
  });
}

void FrmMain::cmdInstall_Click() {
  // The window stays responsive during a run; a second run must not start on top of it.
  if (State().Installing) {
    ShowMessage("The installation of ZEM7 is already running.\r\nPlease wait until it has finished.", kCheckTitle,
                MB_OK | MB_ICONINFORMATION);
    return;
  }
  Trap("frmMain::cmdInstall_Click", [this] {
    State().FlatOutGameFolder = FormatPath(Text(IDE_txtFlatOutGameFolder));
    State().ZEM7GameFolder = FormatPath(Text(IDE_txtZEM7GameFolder));
    if (!CheckIfReadyToInstall()) return;
    int answer = UI().ShowMessage(
        "Are you sure you want to install ZEM7?\r\n\r\nPlease note that this will take at least 10 minutes to install.",
        kCheckTitle, MB_YESNO | MB_ICONQUESTION);
    if (answer == IDYES) InstallZEM7();
  });
}

void FrmMain::lblWebsite_Click() {
  ShellExecuteW(hwnd_, L"open", Widen(kWebsiteAddress).c_str(), nullptr, nullptr, SW_SHOWMAXIMIZED);
}
