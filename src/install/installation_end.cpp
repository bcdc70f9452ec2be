#include "install/installation_end.h"

#include <set>

#include "fileops/file_system.h"
#include "install/uninstall_entry.h"
#include "support/error_report.h"
#include "support/path_helpers.h"
#include "support/text.h"

namespace {

constexpr const char* kLocation = "modZEM7::RecordInstallation";

// The files the run put into the target: the player's files put back and
// the holding folder are the player's, the record and the uninstaller are
// known apart. A mod's file that waits for a kept one to come back over it
// is the run's.
std::vector<FileSystem::FileFacts> InstalledFiles(RunContext& run) {
  std::set<std::string> players;
  for (const std::string& kept : run.facts.keptFiles) players.insert(ToUpper(kept));
  // No stop is honoured here: a stopped run is recorded too.
  std::vector<FileSystem::FileFacts> files = FileSystem::FilesBelow(run.plan.zem7Folder);
  std::erase_if(files, [&](const FileSystem::FileFacts& file) {
    return players.contains(ToUpper(file.path)) || IsInHoldingFolder(file.path) || IsInstallersOwnFile(file.path);
  });
  return files;
}

uint64_t TotalBytes(const std::vector<FileSystem::FileFacts>& files) {
  uint64_t bytes = 0;
  for (const FileSystem::FileFacts& file : files) bytes += file.size;
  return bytes;
}

}  // namespace

void RecordRunUnderWay(RunContext& run, std::vector<FileSystem::FileFacts> kept) {
  InstallationRecord record;
  record.stage = RecordStage::UnderWay;
  record.gameFolder = run.plan.gameFolder;
  record.usersMayModify = run.facts.usersMayModify;
  record.kept = std::move(kept);
  WriteRecord(run.plan.zem7Folder, record);
  run.facts.underWay = true;
}

void RecordInstallation(RunContext& run, RecordStage stage) {
  const std::string& target = run.plan.zem7Folder;
  if (!FileSystem::FolderExists(target)) return;
  run.log.Write("Recording the installation: " + target + kRecordName);
  Trap(run.reporter, kLocation, [&] { FileSystem::CopyOneFile(ExecutablePath(), target + kUninstallerName, true); });
  InstallationRecord record;
  record.stage = stage;
  record.gameFolder = run.plan.gameFolder;
  record.usersMayModify = run.facts.usersMayModify;
  record.shortcuts = run.facts.shortcuts;
  Trap(run.reporter, kLocation, [&] {
    record.files = InstalledFiles(run);
    RegisterUninstallEntry(target, UninstallKeyFor(target), TotalBytes(record.files));
    WriteRecord(target, record);
  });
}
