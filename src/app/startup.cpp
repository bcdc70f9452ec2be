#include "app/startup.h"

#include <windows.h>

#include <cctype>

#include "app/game_search.h"
#include "fileops/file_system.h"
#include "registry/registry.h"
#include "support/handles.h"
#include "support/path_helpers.h"
#include "support/runtime_error.h"
#include "support/text.h"
#include "support/text_file.h"

namespace {

// A log's lines begin "<time> : <percent>% : ", the first one included,
// after the byte-order mark of a UTF-8 log; an older log, in the ANSI code
// page, has no mark.
bool BeginsLikeALog(const std::string& path) {
  UniqueFile file(CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr));
  char buffer[512];
  DWORD read = 0;
  // Only a file on a disk is read: a pipe or a device could keep the read waiting.
  if (!file || GetFileType(file.Get()) != FILE_TYPE_DISK) return false;
  if (!ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr)) return false;
  std::string first(buffer, read);
  if (first.starts_with(kUtf8ByteOrderMark)) first.erase(0, kUtf8ByteOrderMark.size());
  first = first.substr(0, first.find("\r\n"));
  size_t percent = first.find("% : ");
  size_t before = first.rfind(" : ", percent);
  if (percent == std::string::npos || before == std::string::npos || before + 3 >= percent) return false;
  for (size_t i = before + 3; i < percent; ++i)
    if (!std::isdigit(static_cast<unsigned char>(first[i]))) return false;
  return true;
}

}  // namespace

InstallPlan PlanFor(const CommandLineOptions& options) {
  InstallPlan plan = InstallPlan::ForInstallerFolder(ExecutableFolder());
  if (options.logPath) plan.logPath = LongPathName(GetAbsolutePathName(*options.logPath));
  return plan;
}

Message WhyNotALogFile(const std::string& path) {
  std::string full = GetAbsolutePathName(path);
  std::string folder = FileSystem::GetParentFolderName(full);
  if (folder.empty() || !FileSystem::FolderExists(folder)) return Message(IDS_SWITCH_LOG_NO_FOLDER, {full});
  if (FileSystem::FolderExists(full)) return Message(IDS_SWITCH_LOG_IS_FOLDER, {full});
  if (FileSystem::FileExists(full) && !BeginsLikeALog(full)) return Message(IDS_SWITCH_LOG_NOT_OURS, {full});
  return std::string();
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

std::vector<std::string> KnownGameFolders(const CommandLineOptions& options) {
  std::vector<std::string> folders = {kFallbackGameFolder};
  if (options.gameFolder) folders.push_back(GetAbsolutePathName(*options.gameFolder));
  try {
    folders.push_back(ReadRegistryString(kFlatOutPathValue));
  } catch (const RuntimeError&) {
  }
  if (std::optional<std::string> found = FindGameInLibraries()) folders.push_back(*found);
  return folders;
}

std::string GetZEM7GameFolderPath(RunContext& run, const std::string& gameFolderText) {
  return TrapResult<std::string>(run.reporter, "modMain::GetZEM7GameFolderPath", "",
                                 [&] { return GetAbsolutePathName(gameFolderText) + " - ZEM7"; });
}
