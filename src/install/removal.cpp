#include "install/removal.h"

#include <windows.h>

#include "fileops/file_system.h"
#include "fileops/folder_bounds.h"
#include "install/install_steps.h"
#include "install/uninstall_entry.h"
#include "support/cut_point.h"
#include "support/error_report.h"
#include "support/handles.h"
#include "support/keep_alive.h"
#include "support/path_helpers.h"
#include "support/program_start.h"
#include "support/runtime_error.h"
#include "support/shell_link.h"
#include "support/text.h"

namespace {

constexpr const char* kLocation = "modZEM7::RemoveInstallation";

// The Start menu's folders that the shortcut step makes go with it when empty;
// the desktop, or any other folder, never.
void RemoveShortcutFolders(const std::string& shortcut) {
  std::string parent = FileSystem::GetParentFolderName(shortcut);
  if (!EqualsIgnoreCase(parent.substr(parent.find_last_of('\\') + 1), "FlatOut - ZEM7")) return;
  RemoveDirectoryW(Widen(parent).c_str());
  std::string maker = FileSystem::GetParentFolderName(parent);
  if (EqualsIgnoreCase(maker.substr(maker.find_last_of('\\') + 1), "Torvale")) RemoveDirectoryW(Widen(maker).c_str());
}

void RemoveShortcuts(RunContext& run, const InstallationRecord& record) {
  for (const std::string& shortcut : record.shortcuts) {
    // One that leads elsewhere now is somebody else's.
    if (!FileSystem::FileExists(shortcut) || !ShortcutLeadsInto(shortcut, run.plan.zem7Folder)) continue;
    run.log.Write({IDS_LOG_DELETING_FILE, {shortcut}});
    Trap(run.reporter, kLocation, [&] {
      FileSystem::RemoveFile(shortcut, true);
      RemoveShortcutFolders(shortcut);
    });
    CutPoint("removal.shortcut");
  }
}

// Through handles proven to lie inside the folder: a name the players
// swapped for a link to elsewhere is left, never gone through. The
// uninstaller may still be running a moment.
void DeleteOwnFile(const FileSystem::FolderBounds& bounds, const char* name, int attempts = 1) {
  for (int attempt = 1;; ++attempt) {
    try {
      FileSystem::DeleteFileInside(bounds, name);
      return;
    } catch (const RuntimeError&) {
      if (attempt >= attempts) return;
      Sleep(100);
    }
  }
}

// The record goes after the uninstaller, and only from a folder that holds
// nothing else: the player's files keep it, as the record of whose they are.
void DeleteUninstallerThenRecord(const std::string& folder) {
  if (!FileSystem::FolderExists(folder)) return;
  FileSystem::FolderBounds bounds(folder);
  DeleteOwnFile(bounds, kUninstallerName, 100);
  CutPoint("removal.uninstaller");
  DeleteOwnFile(bounds, kPartialRecordName);
  std::vector<FileSystem::FileFacts> left = FileSystem::FilesBelow(folder);
  auto read = ReadRecord(folder);
  auto* record = std::get_if<InstallationRecord>(&read);
  bool onlyTheRecord = left.size() == 1 && EqualsIgnoreCase(left[0].path, kRecordName);
  if (record && record->stage == RecordStage::Removed && onlyTheRecord) DeleteOwnFile(bounds, kRecordName);
  RemoveDirectoryW(Widen(folder).c_str());
}

}  // namespace

Message WhyRecordIsUnsafe(const std::string& folder, const InstallationRecord& record) {
  for (const FileSystem::FileFacts& file : record.files) {
    if (IsInHoldingFolder(file.path)) return Message(IDS_RECORDED_IN_HOLDING, {folder + file.path});
    for (size_t at = file.path.find('\\'); at != std::string::npos; at = file.path.find('\\', at + 1))
      if (FileSystem::IsLink(folder + file.path.substr(0, at)))
        return Message(IDS_RECORDED_THROUGH_LINK, {folder + file.path.substr(0, at)});
  }
  for (const std::string& shortcut : record.shortcuts)
    if (!EndsWith(ToLower(shortcut), ".lnk") || shortcut.find(":\\") != 1)
      return Message(IDS_RECORDED_NOT_A_SHORTCUT, {shortcut});
  return std::string();
}

void RemoveInstallation(RunContext& run, FileSystem::HeldTree& held, const InstallationRecord& record) {
  run.log.Write("Deleting the files of the installation.");
  bool deleted = TrapResult(run.reporter, kLocation, false, [&] {
    held.DeleteAll(KeepAlive(run));
    CutPoint("removal.deleted");
    return true;
  });
  if (deleted) RemoveShortcuts(run, record);
}

void RemoveEntryRecordAndUninstaller(RunContext& run, RecordKeeper& keeper, const InstallationRecord& record) {
  const std::string& folder = run.plan.zem7Folder;
  std::string uninstaller = folder + kUninstallerName;
  Trap(run.reporter, kLocation, [&] {
    if (RemoveUninstallEntryOf(folder))
      run.log.Write("Removing the entry in Apps & features: " + UninstallKeyFor(folder));
    else if (RemoveRecordedEntry(record.uninstallKey, folder))
      run.log.Write("Removing the entry in Apps & features: " + record.uninstallKey);
  });
  CutPoint("removal.entry");
  Trap(run.reporter, kLocation, [&] {
    keeper.CommitRemoval(run);
    std::vector<FileSystem::FileFacts> left = FileSystem::FilesBelow(folder);
    std::erase_if(left, [](const FileSystem::FileFacts& file) { return IsInstallersOwnFile(file.path); });
    run.log.Write((left.empty() ? "Deleting File: " : "Keeping the record of your files: ") + folder + kRecordName);
    if (!EqualsIgnoreCase(ExecutablePath(), uninstaller)) return DeleteUninstallerThenRecord(folder);
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, temp);
    std::string copy = Narrow(temp) + "ZEM7Uninstall-" + std::to_string(GetCurrentProcessId()) + ".exe";
    FileSystem::CopyOneFile(ExecutablePath(), copy, true);
    // Started elsewhere, the copy holds nothing of the folder it is to remove.
    SetCurrentDirectoryW(temp);
    run.log.Write("Deleting File: " + uninstaller + " (once this program has ended)");
    StartProgram(
        Quoted(copy) + " /FINISHREMOVAL=" + std::to_string(GetCurrentProcessId()) + " " + Quoted("/DIR=" + folder),
        SW_HIDE);
  });
}

int FinishRemoval(unsigned long uninstallerProcess, const std::string& folder) {
  if (UniqueHandle first{OpenProcess(SYNCHRONIZE, FALSE, uninstallerProcess)}) WaitForSingleObject(first.Get(), 60000);
  try {
    DeleteUninstallerThenRecord(folder);
  } catch (const RuntimeError&) {
    // What is left stays the player's, with its record.
  }
  // A running program cannot delete itself either: Windows does it at its next start.
  MoveFileExW(Widen(ExecutablePath()).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  return 0;
}
