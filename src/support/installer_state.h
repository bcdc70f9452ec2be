#pragma once
// The values that one run of the installer shares between its steps.
//
// Owners: start-up sets InstallerFolder and the user interface; the window's
// install command sets the two folders from its boxes; ProgressLog owns the
// entry counter; InstallZEM7 owns the running flag. All of them live for the
// whole program. Tests point InstallerFolder and the interface at fixtures.
#include <cstdint>
#include <string>

#include "support/user_interface.h"

struct InstallerState {
  std::string FlatOutGameFolder;  // trimmed, ends in a backslash
  std::string ZEM7GameFolder;     // trimmed, ends in a backslash
  std::string InstallerFolder;    // the exe's folder, no trailing backslash
  int ProgressEntryCount = 0;
  bool LogFailureShown = false;  // the unwritable log is reported only once
  bool Installing = false;
  // How long to wait for the packer's "finished.txt" once it has ended.
  uint32_t FinishMarkerWaitMs = 120000;
  UserInterface* Ui = nullptr;
};

InstallerState& State();
UserInterface& UI();
// The running program's full path, and its folder without trailing backslash.
std::string ExecutablePath();
std::string ExecutableFolder();
