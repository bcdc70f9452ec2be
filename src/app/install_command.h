#pragma once
// What the install button does, apart from the window: take the two folders,
// run the checks, ask for the go-ahead and install; a target the user agreed
// to recreate is emptied only then, as the installation starts.
#include <memory>
#include <optional>
#include <string>

#include "app/readiness.h"
#include "install/record_keeper.h"
#include "support/run_context.h"
#include "window/window_commands.h"

enum class CommandOutcome {
  NotStarted,     // a check refused or failed, another installation was running, or the target could not be emptied or
                  // made
  Declined,       // the user said No to the confirmation
  PartlyEmptied,  // emptying the target failed part-way: some of it is gone, nothing was installed
  Installed,      // the installation ran to its end (see the reporter's count)
  Stopped,        // the installation was stopped before its end
  StoppedBeforeAnyChange,  // stopped while the mod's files were tested
};
CommandOutcome RunInstallCommand(RunContext& run, const std::string& gameFolderText,
                                 const std::string& targetFolderText, const FreeSpaceProbe& probe = DriveFreeSpace);
// The checks' outcome: whether the installation may be confirmed and, for a
// target to recreate, that target held for its emptying until the run starts
// (or the outcome is dropped).
struct ReadyState {
  bool ready = false;
  std::unique_ptr<FileSystem::HeldTree> targetToEmpty;
  std::optional<RecordKeeper> keeper;  // the target's record as the checks found it
  explicit operator bool() const { return ready; }
};
ReadyState ReadyToInstall(RunContext& run, const FreeSpaceProbe& probe);

// The window's commands in a run: the install button runs the install command,
// and the window may not close while an installation runs.
class InstallCommands : public WindowCommands {
 public:
  explicit InstallCommands(RunContext& run) : run_(run) {}
  void Install(const std::string& gameFolderText, const std::string& targetFolderText) override;
  bool MayClose() override;

 private:
  RunContext& run_;
  bool askingToStop_ = false;
};
