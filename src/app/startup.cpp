#include "app/startup.h"

#include "fileops/file_system.h"
#include "registry/registry.h"
#include "support/path_helpers.h"

InstallPlan PlanFor(const CommandLineOptions& options) {
  InstallPlan plan = InstallPlan::ForInstallerFolder(ExecutableFolder());
  if (options.logPath) plan.logPath = GetAbsolutePathName(*options.logPath);
  return plan;
}

void Main(RunContext& run, MainWindow& window, WindowCommands& commands, const CommandLineOptions& options) {
  Trap(run.reporter, "modMain::Main", [&] {
    window.Create(commands, run.reporter);
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
