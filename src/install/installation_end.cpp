#include "install/installation_end.h"

#include <windows.h>

#include <set>

#include "fileops/file_system.h"
#include "fileops/folder_delete.h"
#include "install/uninstall_entry.h"
#include "support/error_report.h"
#include "support/path_helpers.h"
#include "support/runtime_error.h"
#include "support/text.h"

namespace {

constexpr const char* kLocation = "modZEM7::RecordInstallation";

// The files the run put into the target: the player's files and the holding
// folder are the player's, the record and the uninstaller are known apart.
std::vector<FileSystem::FileFacts> InstalledFiles(RunContext& run) {
  std::set<std::string> players;
  for (const std::string& kept : run.facts.keptFiles) players.insert(ToUpper(kept));
  std::string holding = ToUpper(std::string(kHoldingFolderName) + "\\");
  // No stop is honoured here: a stopped run is recorded too.
  std::vector<FileSystem::FileFacts> files = FileSystem::FilesBelow(run.plan.zem7Folder);
  std::erase_if(files, [&](const FileSystem::FileFacts& file) {
    std::string name = ToUpper(file.path);
    return players.contains(name) || name.starts_with(holding) || IsInstallersOwnFile(file.path);
  });
  return files;
}

uint64_t TotalBytes(const std::vector<FileSystem::FileFacts>& files) {
  uint64_t bytes = 0;
  for (const FileSystem::FileFacts& file : files) bytes += file.size;
  return bytes;
}

}  // namespace

void SetPlayersFilesAside(RunContext& run, FileSystem::HeldTree& held, const InstallationRecord& earlier) {
  std::string holding = run.plan.zem7Folder + kHoldingFolderName;
  run.facts.holdingFolder = holding;
  run.facts.keptFiles = held.MoveOut(holding, MadeOrChangedSince(earlier));
  if (run.facts.keptFiles.empty()) run.facts.holdingFolder.clear();
}

void PutBackPlayersFiles(RunContext& run) {
  if (run.facts.holdingFolder.empty()) return;
  const std::string& holding = run.facts.holdingFolder;
  size_t putBack = 0;
  for (const std::string& kept : run.facts.keptFiles) {
    std::string place = run.plan.zem7Folder + kept;
    Trap(run.reporter, kLocation, [&] {
      FileSystem::CreateFolderPath(FileSystem::GetParentFolderName(place));
      if (!MoveFileExW(Widen(holding + "\\" + kept).c_str(), Widen(place).c_str(), MOVEFILE_REPLACE_EXISTING)) {
        DWORD error = GetLastError();
        throw RuntimeError(static_cast<int32_t>(error), SystemMessage(error) + " (putting your file \"" + kept +
                                                            "\" back from \"" + holding + "\")");
      }
      run.log.Write("Keeping your file: " + place);
      ++putBack;
    });
  }
  run.log.Write(std::to_string(putBack) + " file(s) of yours were kept.");
  if (FileSystem::HoldsAnyFile(holding)) {
    run.log.Write("Your files that could not be put back are in: " + holding);
    return;
  }
  Trap(run.reporter, kLocation, [&] { DeleteWholeFolder(holding); });
  run.facts.holdingFolder.clear();
}

void RecordInstallation(RunContext& run) {
  const std::string& target = run.plan.zem7Folder;
  if (!FileSystem::FolderExists(target)) return;
  run.log.Write("Recording the installation: " + target + kRecordName);
  Trap(run.reporter, kLocation, [&] { FileSystem::CopyOneFile(ExecutablePath(), target + kUninstallerName, true); });
  InstallationRecord record;
  record.gameFolder = run.plan.gameFolder;
  record.uninstallKey = UninstallKeyFor(target);
  record.shortcuts = run.facts.shortcuts;
  Trap(run.reporter, kLocation, [&] {
    record.files = InstalledFiles(run);
    RegisterUninstallEntry(target, record.uninstallKey, TotalBytes(record.files));
    WriteRecord(target, record);
  });
}
