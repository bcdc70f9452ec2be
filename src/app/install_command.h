#pragma once
// What the install button does, apart from the window: take the two folders,
// run the checks, empty the target when the user agreed, ask for the go-ahead
// and install.
#include <string>

#include "app/readiness.h"
#include "support/run_context.h"
#include "window/window_commands.h"

enum class CommandOutcome {
  NotStarted,  // a check refused or failed, or another installation was running
  Declined,    // the user said No to the confirmation
  Installed,   // the installation ran to its end (see the reporter's count)
};
CommandOutcome RunInstallCommand(RunContext& run, const std::string& gameFolderText,
                                 const std::string& targetFolderText, const FreeSpaceProbe& probe = DriveFreeSpace);
// The checks, with the target emptied in between when the user agreed:
// true when the installation may be confirmed.
bool ReadyToInstall(RunContext& run, const FreeSpaceProbe& probe);

// The window's commands in a run: the install button runs the install command,
// and the window may not close while an installation runs.
class InstallCommands : public WindowCommands {
 public:
  explicit InstallCommands(RunContext& run) : run_(run) {}
  void Install(const std::string& gameFolderText, const std::string& targetFolderText) override;
  bool MayClose() override;

 private:
  RunContext& run_;
};
