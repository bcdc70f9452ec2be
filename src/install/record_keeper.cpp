// Reading the record, the answer to whose a file is, the stage checks, and
// the transitions that only write the record. Setting the player's files
// aside and putting them back are in players_files.cpp.
#include "install/record_keeper.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <set>

#include "fileops/file_system.h"
#include "fileops/folder_bounds.h"
#include "fileops/folder_identity.h"
#include "fileops/folder_rights.h"
#include "install/uninstall_entry.h"
#include "support/cut_point.h"
#include "support/error_report.h"
#include "support/keep_alive.h"
#include "support/path_helpers.h"
#include "support/runtime_error.h"
#include "support/text.h"
#include "support/virtual_store.h"

namespace {

constexpr const char* kLocation = "modZEM7::RecordInstallation";
constexpr uint64_t kSecond = 10'000'000;  // in FILETIME's units
constexpr uint64_t kHour = 3600 * kSecond;

// The run's work folder, which its clean-up deletes: nothing of the player's
// belongs there, whatever a cut run left in it.
bool IsWorkFile(const std::string& path) { return ToUpper(path).starts_with("DATAFULL\\"); }

// FAT and exFAT store local times: after a change of daylight saving time,
// or of the time zone, every file reads whole hours off, and FAT keeps even
// seconds only.
bool KeepsLocalTimes(const std::string& folder) {
  wchar_t root[MAX_PATH + 1] = {}, system[MAX_PATH + 1] = {};
  if (!GetVolumePathNameW(Widen(folder).c_str(), root, MAX_PATH) ||
      !GetVolumeInformationW(root, nullptr, 0, nullptr, nullptr, nullptr, system, MAX_PATH))
    return false;
  std::string name = ToUpper(Narrow(system));
  return name == "FAT" || name == "FAT32" || name == "EXFAT";
}

}  // namespace

bool SameFileTime(uint64_t recorded, uint64_t now, bool localTimes) {
  if (recorded == now) return true;
  if (!localTimes) return false;
  uint64_t apart = recorded > now ? recorded - now : now - recorded;
  uint64_t offWholeHours = std::min(apart % kHour, kHour - apart % kHour);
  return apart <= 24 * kHour && offWholeHours <= 2 * kSecond;
}

namespace {

std::string IdText(const FileSystem::FolderId& id) {
  std::string text = std::to_string(id.volume) + "-";
  for (uint8_t byte : id.file) {
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02x", byte);
    text += digits;
  }
  return text;
}

std::string FolderIdText(const std::string& folder) {
  std::optional<FileSystem::FolderId> id = FileSystem::IdentityOf(folder);
  return id ? IdText(*id) : std::string();
}

// A record names its folder by identity; one made in another folder and
// brought here (a copy of the folder, a record copied in) is none of this one's.
bool IsOfAnotherFolder(const std::string& recorded, const std::string& folder) {
  std::optional<FileSystem::FolderId> id = FileSystem::IdentityOf(folder);
  if (recorded.empty() || !id) return false;
  std::string now = IdText(*id);
  // A volume number of 0 is "not known" (Wine's mount manager, early on): the file ids decide.
  auto fileOf = [](const std::string& text) { return text.substr(text.find('-') + 1); };
  auto volumeOf = [](const std::string& text) { return text.substr(0, text.find('-')); };
  bool volumeKnown = volumeOf(recorded) != "0" && volumeOf(now) != "0";
  return fileOf(recorded) != fileOf(now) || (volumeKnown && volumeOf(recorded) != volumeOf(now));
}

TextId StageName(std::optional<RecordStage> stage) {
  if (!stage) return IDS_STAGE_NONE;
  switch (*stage) {
    case RecordStage::Complete: return IDS_STAGE_COMPLETE;
    case RecordStage::Stopped: return IDS_STAGE_STOPPED;
    case RecordStage::UnderWay: return IDS_STAGE_UNDER_WAY;
    case RecordStage::Removed: return IDS_STAGE_REMOVED;
  }
  return IDS_STAGE_NONE;
}

std::vector<FileSystem::FileFacts> WithoutPlayersOrOwn(std::vector<FileSystem::FileFacts> files,
                                                       const std::vector<std::string>& kept = {}) {
  std::set<std::string> players;
  for (const std::string& path : kept) players.insert(ToUpper(path));
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

RecordKeeper RecordKeeper::Open(const std::string& folder) {
  RecordKeeper keeper(folder);
  keeper.localTimes_ = KeepsLocalTimes(folder);
  try {
    RestoreTornRecord(folder);
  } catch (const RuntimeError&) {
    // Left as it is: a record that is not there is read as none.
  }
  keeper.hasFile_ = FileSystem::FileExists(folder + kRecordName);
  if (!keeper.hasFile_) return keeper;
  auto read = ReadRecord(folder);
  if (auto* fault = std::get_if<RecordFault>(&read)) {
    keeper.fault_ = *fault;
    return keeper;
  }
  InstallationRecord record = std::move(std::get<InstallationRecord>(read));
  keeper.stage_ = record.stage;
  keeper.onDisk_ = record;
  keeper.foreign_ = IsOfAnotherFolder(record.folderId, folder);
  if (keeper.foreign_) {
    record.files.clear();
    record.usersMayModify = false;
    record.uninstallKey.clear();
  }
  keeper.current_ = record;
  for (const FileSystem::FileFacts& file : record.files) keeper.listed_[ToUpper(file.path)] = file;
  keeper.record_ = std::move(record);
  return keeper;
}

bool RecordKeeper::IsPlayers(const FileSystem::FileFacts& file) const {
  if (IsInHoldingFolder(file.path)) return true;
  if (IsInstallersOwnFile(file.path) || IsWorkFile(file.path)) return false;
  std::string path = ToUpper(file.path);
  auto listed = listed_.find(path);
  if (listed != listed_.end() && listed->second.size == file.size &&
      SameFileTime(listed->second.written, file.written, localTimes_))
    return false;
  // A run that did not finish was at work in "data", which its steps make
  // and delete again, also through second names of one file; what it knew
  // there as the player's is listed as kept.
  bool unfinished =
      record_ && !foreign_ && (record_->stage == RecordStage::UnderWay || record_->stage == RecordStage::Stopped);
  if (unfinished && path.starts_with("DATA\\"))
    return std::any_of(record_->kept.begin(), record_->kept.end(),
                       [&](const FileSystem::FileFacts& kept) { return EqualsIgnoreCase(kept.path, file.path); });
  return true;
}

std::vector<FileSystem::FileFacts> RecordKeeper::PlayersFiles(const std::vector<FileSystem::FileFacts>& now) const {
  std::vector<FileSystem::FileFacts> players;
  for (const FileSystem::FileFacts& file : now)
    if (IsPlayers(file)) players.push_back(file);
  return players;
}

size_t RecordKeeper::OnlyTimeChanged(const std::vector<FileSystem::FileFacts>& now) const {
  return static_cast<size_t>(std::count_if(now.begin(), now.end(), [&](const FileSystem::FileFacts& file) {
    auto listed = listed_.find(ToUpper(file.path));
    return listed != listed_.end() && listed->second.size == file.size &&
           !SameFileTime(listed->second.written, file.written, localTimes_);
  }));
}

std::string RecordKeeper::HoldingFolder() const { return folder_ + kHoldingFolderName; }

std::string RecordKeeper::VirtualStore() const { return VirtualStoreOf(folder_); }

size_t RecordKeeper::FilesInVirtualStore() const {
  std::string store = VirtualStore();
  return store.empty() ? 0 : FileSystem::FilesBelow(store).size();
}

std::string RecordKeeper::KeptIn() const {
  return FileSystem::HoldsAnyFile(HoldingFolder()) ? HoldingFolder() : std::string();
}

// The stage this keeper knows must be the one a transition leaves, and the
// record on disk must still say so: another run, or a record copied in
// meanwhile, is never written over.
void RecordKeeper::ExpectStage(std::initializer_list<std::optional<RecordStage>> allowed, TextId transition) const {
  std::optional<RecordStage> onDisk;
  if (FileSystem::FileExists(folder_ + kRecordName)) {
    auto read = ReadRecord(folder_);
    if (auto* fault = std::get_if<RecordFault>(&read)) throw RuntimeError(ERROR_INVALID_DATA, fault->Why());
    onDisk = std::get<InstallationRecord>(read).stage;
  }
  bool known = std::find(allowed.begin(), allowed.end(), stage_) != allowed.end();
  if (known && onDisk == stage_) return;
  throw RuntimeError(ERROR_INVALID_STATE,
                     Message(IDS_UNEXPECTED_STAGE, {folder_, StageName(onDisk), StageName(stage_), transition}));
}

void RecordKeeper::Write(const InstallationRecord& next) {
  InstallationRecord record = next;
  record.folderId = FolderIdText(folder_);
  WriteRecord(folder_, record);
  current_ = record;
  stage_ = record.stage;
}

void RecordKeeper::NoteMade(RunContext& run) {
  ExpectStage({RecordStage::UnderWay}, IDS_TO_NOTE_MADE);
  InstallationRecord next = current_;
  next.files = WithoutPlayersOrOwn(FileSystem::FilesBelow(folder_, SIZE_MAX, KeepAlive(run)));
  // The shortcuts it made so far, beside the earlier installation's, which lead here too.
  for (const std::string& shortcut : run.facts.shortcuts)
    if (std::find(next.shortcuts.begin(), next.shortcuts.end(), shortcut) == next.shortcuts.end())
      next.shortcuts.push_back(shortcut);
  Write(next);
}

void RecordKeeper::CommitRun(RunContext& run, RecordStage stage) {
  if (!FileSystem::FolderExists(folder_)) return;
  run.log.Write({IDS_LOG_RECORDING, {folder_ + kRecordName}});
  // Apps & features starts it elevated: the players may read and run it, never change it.
  Trap(run.reporter, kLocation, [&] {
    FileSystem::ClearNameInside(FileSystem::FolderBounds(folder_), kUninstallerName);
    FileSystem::CopyOneFile(ExecutablePath(), folder_ + kUninstallerName, false);
    FileSystem::ProtectFromUsers(folder_ + kUninstallerName);
  });
  CutPoint("commit.uninstaller");
  InstallationRecord record = current_;
  record.stage = stage;
  record.gameFolder = run.plan.gameFolder;
  record.shortcuts = run.facts.shortcuts;
  record.uninstallKey = UninstallKeyFor(folder_);
  record.kept.clear();
  // What the run could not put back waits in the holding folder, as found or as kept.
  std::set<std::string> waiting;
  for (const FileSystem::FileFacts& file : FileSystem::FilesBelow(HoldingFolder())) waiting.insert(ToUpper(file.path));
  std::erase_if(record.found, [&](const FileSystem::FileFacts& file) { return !waiting.contains(ToUpper(file.path)); });
  // No stop is honoured here: a stopped run is recorded too. The record
  // comes first: without the entry the installation is still known by it.
  bool recorded = TrapResult(run.reporter, kLocation, false, [&] {
    ExpectStage({RecordStage::UnderWay}, IDS_TO_RECORD_INSTALLATION);
    record.files = WithoutPlayersOrOwn(FileSystem::FilesBelow(folder_), keptFiles_);
    Write(record);
    return true;
  });
  if (!recorded) return;
  Trap(run.reporter, kLocation,
       [&] { RegisterUninstallEntry(folder_, record.uninstallKey, TotalBytes(record.files)); });
  CutPoint("commit.entry");
}

void RecordKeeper::BeginRemoval(RunContext& run) {
  // A removal cut off after its record said so is finished by the next one;
  // a run cut off is removed as far as its record tells.
  ExpectStage({RecordStage::Complete, RecordStage::Stopped, RecordStage::UnderWay, RecordStage::Removed},
              IDS_TO_REMOVE);
  if (FileSystem::FolderExists(HoldingFolder())) PutBack(run);
}

void RecordKeeper::CommitRemoval(RunContext&) {
  ExpectStage({RecordStage::Complete, RecordStage::Stopped, RecordStage::UnderWay, RecordStage::Removed},
              IDS_TO_RECORD_REMOVAL);
  InstallationRecord removed;
  removed.stage = RecordStage::Removed;
  removed.gameFolder = current_.gameFolder;
  Write(removed);
}
