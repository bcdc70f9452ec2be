// The player's files through a run that fills the folder: set aside into the
// holding folder once the record says the run is under way, put back once
// the steps have run, or put back where they were when the run is abandoned
// before anything was deleted. What lies in the holding folder is the
// player's: no run deletes anything in it, whether it made it or an earlier
// run cut off did.
#include "install/players_files.h"

#include <windows.h>

#include <algorithm>
#include <map>
#include <optional>
#include <set>

#include "fileops/file_system.h"
#include "fileops/folder_bounds.h"
#include "fileops/folder_delete.h"
#include "install/record_keeper.h"
#include "support/cut_point.h"
#include "support/error_report.h"
#include "support/path_helpers.h"
#include "support/runtime_error.h"
#include "support/text.h"

namespace {

constexpr const char* kLocation = "modZEM7::RecordInstallation";

// One version of a file of the player's: where it lies now, and the path
// below the folder it is kept under.
struct Version {
  FileSystem::FileFacts facts;  // its place-relative path as it lies now
  std::string source;           // its full path, "" at its place in the held target
  std::string sourceBelow;      // its path below the folder, or below the VirtualStore
  bool inStore = false;
  std::string keptAs;  // the path it waits under in the holding folder and goes back to
  // Found after a cut: the cut run may have made it as well as the player,
  // so it goes back only beside what the next run makes there.
  bool unsure = false;
};

std::string Key(const FileSystem::FileFacts& file) {
  return ToUpper(file.path) + "\t" + std::to_string(file.size) + "\t" + std::to_string(file.written);
}

// Where versions of one file meet, the latest keeps the name and each
// earlier one takes a name that says so; so does a file of the player's
// named as one of the installer's own, which would otherwise be written over.
void NameEarlierCopies(std::vector<Version>& versions) {
  std::vector<std::string> taken;
  for (const Version& version : versions) taken.push_back(ToUpper(version.facts.path));
  std::stable_sort(versions.begin(), versions.end(),
                   [](const Version& a, const Version& b) { return a.facts.written > b.facts.written; });
  std::set<std::string> named;
  for (Version& version : versions) {
    version.keptAs = version.facts.path;
    if (named.insert(ToUpper(version.facts.path)).second && !IsInstallersOwnFile(version.facts.path)) continue;
    version.keptAs = EarlierCopyName(version.facts.path, taken);
    taken.push_back(ToUpper(version.keptAs));
  }
}

std::vector<Version> VersionsIn(const std::string& folder, const std::string& below, bool inStore,
                                const std::set<std::string>& unsure = {}) {
  std::vector<Version> versions;
  for (const FileSystem::FileFacts& file : FileSystem::FilesBelow(folder))
    versions.push_back({file, folder + "\\" + file.path, below + file.path, inStore, {}, unsure.contains(Key(file))});
  return versions;
}

std::string InHolding(const std::string& path) { return std::string(kHoldingFolderName) + "\\" + path; }

// A name that leads outside is somebody else's file: it stays where it is.
void LogLeftInPlace(RunContext& run, const std::string& path, const std::string& leadsTo) {
  run.log.Write({IDS_LOG_LEFT_IN_PLACE, {path, leadsTo}});
}

// Until it is moved, a version at its place is known by its path as it is;
// once moved, by the path it goes back to.
void AddFacts(const Version& version, std::vector<FileSystem::FileFacts>& kept) {
  kept.push_back({version.keptAs, version.facts.size, version.facts.written});
  if (version.source.empty() && version.keptAs != version.facts.path) kept.push_back(version.facts);
}

// A name taken by a file, or by a link the player or another program put
// there, cannot be the holding folder: it is refused by its name. Nor is a
// VirtualStore that is a link gone through: its files would be somebody
// else's, moved in from wherever it leads.
void RefuseWhatIsInTheWay(const std::string& holding, const std::string& store) {
  if (FileSystem::FileExists(holding))
    throw RuntimeError(ERROR_ALREADY_EXISTS, Message(IDS_HOLDING_IS_FILE, {holding}));
  if (FileSystem::IsLink(holding)) throw RuntimeError(ERROR_ALREADY_EXISTS, Message(IDS_HOLDING_IS_LINK, {holding}));
  if (!store.empty() && FileSystem::IsLink(store))
    throw RuntimeError(ERROR_CANT_ACCESS_FILE, Message(IDS_STORE_IS_LINK, {store}));
}

}  // namespace

std::string EarlierCopyName(const std::string& path, const std::vector<std::string>& taken) {
  size_t slash = path.find_last_of('\\');
  size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot == slash + 1) dot = path.size();
  for (int copy = 1;; ++copy) {
    std::string name =
        path.substr(0, dot) + " (earlier copy" + (copy > 1 ? " " + std::to_string(copy) : "") + ")" + path.substr(dot);
    if (std::find(taken.begin(), taken.end(), ToUpper(name)) == taken.end()) return name;
  }
}

void RecordKeeper::BeginRun(RunContext& run, FileSystem::HeldTree* held) {
  ExpectStage({std::nullopt, RecordStage::Complete, RecordStage::Stopped, RecordStage::UnderWay, RecordStage::Removed},
              IDS_TO_BEGIN_RUN);
  std::string holding = HoldingFolder();
  RefuseWhatIsInTheWay(holding, VirtualStore());
  // The player's files: those at their places that the record does not
  // claim (none without a record: the question said all would go), those an
  // earlier run left in the holding folder, and those Windows put in the
  // folder's VirtualStore for a game without rights.
  std::set<std::string> sure, unsure;
  if (record_) {
    for (const FileSystem::FileFacts& file : record_->kept) sure.insert(Key(file));
    for (const FileSystem::FileFacts& file : record_->found) unsure.insert(Key(file));
  }
  bool cutOff = record_ && record_->stage == RecordStage::UnderWay;
  std::vector<Version> versions;
  if (held && record_)
    for (const FileSystem::FileFacts& file : held->Files())
      if (IsPlayers(file)) versions.push_back({file, {}, {}, false, {}, cutOff && !sure.contains(Key(file))});
  std::vector<Version> waiting = VersionsIn(holding, InHolding(""), false, unsure);
  if (!waiting.empty()) run.log.Write({IDS_LOG_KEPT_BY_EARLIER_RUN, {std::to_string(waiting.size()), holding}});
  versions.insert(versions.end(), waiting.begin(), waiting.end());
  if (std::string store = VirtualStore(); !store.empty() && FileSystem::FolderExists(store)) {
    std::vector<Version> stored = VersionsIn(store, "", true);
    versions.insert(versions.end(), stored.begin(), stored.end());
  }
  NameEarlierCopies(versions);

  // Until the emptying, the earlier installation's files are the run's; a
  // run cut off meanwhile finds them listed.
  InstallationRecord underWay;
  underWay.stage = RecordStage::UnderWay;
  underWay.gameFolder = run.plan.gameFolder;
  underWay.usersMayModify = current_.usersMayModify;
  underWay.uninstallKey = current_.uninstallKey;
  if (record_) {
    underWay.files = record_->files;
    underWay.shortcuts = record_->shortcuts;
  }
  for (const Version& version : versions) AddFacts(version, version.unsure ? underWay.found : underWay.kept);
  Write(underWay);
  FileSystem::FolderBounds folderBounds(folder_);
  std::optional<FileSystem::FolderBounds> storeBounds;
  if (std::string store = VirtualStore(); !store.empty() && FileSystem::FolderExists(store)) storeBounds.emplace(store);

  // Those renamed in the holding folder first: they free the names the others take.
  std::stable_partition(versions.begin(), versions.end(), [&](const Version& version) {
    return ToUpper(version.source).starts_with(ToUpper(holding + "\\"));
  });
  std::map<std::string, std::string> atPlace;
  for (const Version& version : versions) {
    if (version.source.empty()) {
      atPlace[ToUpper(version.facts.path)] = version.keptAs;
      continue;
    }
    std::string destination = holding + "\\" + version.keptAs;
    if (EqualsIgnoreCase(version.source, destination)) continue;
    std::string leads = FileSystem::MoveFileInside(version.inStore ? *storeBounds : folderBounds, version.sourceBelow,
                                                   folderBounds, InHolding(version.keptAs), false);
    if (!leads.empty()) {
      LogLeftInPlace(run, version.source, leads);
      continue;
    }
    setAside_.push_back({version.inStore, version.sourceBelow, InHolding(version.keptAs)});
    CutPoint("aside.moved");
    if (ToUpper(version.source).starts_with(ToUpper(holding + "\\")))
      run.log.Write({IDS_LOG_KEEPING_EARLIER_COPY, {folder_ + version.facts.path, folder_ + version.keptAs}});
    else
      run.log.Write({IDS_LOG_KEEPING_FROM_STORE, {version.source, folder_ + version.keptAs}});
  }
  if (!held) return;
  held->MoveOut(kHoldingFolderName, [&](const FileSystem::FileFacts& file) -> std::optional<std::string> {
    auto found = atPlace.find(ToUpper(file.path));
    if (found == atPlace.end()) return std::nullopt;
    CutPoint("aside.moved");
    if (!EqualsIgnoreCase(found->second, file.path))
      run.log.Write({IDS_LOG_KEEPING_EARLIER_COPY, {folder_ + file.path, folder_ + found->second}});
    setAside_.push_back({false, file.path, InHolding(found->second)});
    return found->second;
  });
}

void RecordKeeper::Abandon(RunContext& run) {
  size_t notBack = 0;
  for (auto move = setAside_.rbegin(); move != setAside_.rend(); ++move) {
    if (!FileSystem::FileExists(folder_ + move->to)) continue;
    try {
      FileSystem::FolderBounds folderBounds(folder_);
      std::optional<FileSystem::FolderBounds> store;
      if (move->fromStore) store.emplace(VirtualStore());
      if (!FileSystem::MoveFileInside(folderBounds, move->to, store ? *store : folderBounds, move->from, false).empty())
        ++notBack;
      else
        CutPoint("abandon.moved");
    } catch (const RuntimeError&) {
      ++notBack;  // it waits in the holding folder, which is the player's
    }
  }
  setAside_.clear();
  if (FileSystem::FolderExists(HoldingFolder()) && !FileSystem::HoldsAnyFile(HoldingFolder()))
    Trap(run.reporter, kLocation, [&] { DeleteWholeFolder(HoldingFolder()); });
  if (stage_ == RecordStage::UnderWay)
    Trap(run.reporter, kLocation, [&] {
      if (onDisk_) {
        WriteRecord(folder_, *onDisk_);
      } else {
        FileSystem::DeleteFileInside(FileSystem::FolderBounds(folder_), kRecordName);
        FileSystem::FlushFolder(folder_);
      }
      stage_ = onDisk_ ? std::optional(onDisk_->stage) : std::nullopt;
      current_ = onDisk_ ? *onDisk_ : InstallationRecord();
    });
  run.log.Write(notBack == 0 ? Message(IDS_LOG_PUT_BACK)
                             : Message(IDS_LOG_NOT_PUT_BACK, {std::to_string(notBack), HoldingFolder()}));
}

void RecordKeeper::PutBack(RunContext& run) {
  std::string holding = HoldingFolder();
  if (!FileSystem::FolderExists(holding)) return;
  std::set<std::string> unsure;
  for (const FileSystem::FileFacts& file : current_.found) unsure.insert(Key(file));
  size_t putBack = 0;
  FileSystem::FolderBounds bounds(folder_);
  // Into the folder through handles proven to lie inside it: a link made
  // there since, to a folder elsewhere, receives nothing.
  auto moveBack = [&](const FileSystem::FileFacts& kept, const std::string& to, bool replace) {
    std::string from = holding + "\\" + kept.path;
    if (std::string leads = FileSystem::MoveFileInside(bounds, InHolding(kept.path), bounds, to, replace);
        !leads.empty())
      return LogLeftInPlace(run, from, leads);
    run.log.Write({IDS_LOG_KEEPING_FILE, {folder_ + to}});
    keptFiles_.push_back(to);
    ++putBack;
    CutPoint("back.moved");
  };
  for (const FileSystem::FileFacts& kept : FileSystem::FilesBelow(holding)) {
    std::string place = folder_ + kept.path;
    Trap(run.reporter, kLocation, [&] {
      if (!unsure.contains(Key(kept)) || !FileSystem::FileExists(place)) return moveBack(kept, kept.path, true);
      // A file found after a cut that is the one this run made there, size
      // and time, is that file; anything else goes beside it.
      WIN32_FILE_ATTRIBUTE_DATA now{};
      bool same =
          GetFileAttributesExW(Widen(place).c_str(), GetFileExInfoStandard, &now) &&
          ((uint64_t{now.nFileSizeHigh} << 32) | now.nFileSizeLow) == kept.size &&
          ((uint64_t{now.ftLastWriteTime.dwHighDateTime} << 32) | now.ftLastWriteTime.dwLowDateTime) == kept.written;
      if (same) {
        std::string from = holding + "\\" + kept.path;
        run.log.Write({IDS_LOG_DELETING_FILE, {from}});
        if (std::string leads = FileSystem::DeleteFileInside(bounds, InHolding(kept.path)); !leads.empty())
          return LogLeftInPlace(run, from, leads);
        return CutPoint("back.moved");
      }
      std::vector<std::string> taken;
      std::string beside;
      while (FileSystem::FileExists(folder_ + (beside = EarlierCopyName(kept.path, taken))))
        taken.push_back(ToUpper(beside));
      moveBack(kept, beside, false);
    });
  }
  run.log.Write({IDS_LOG_FILES_KEPT, {std::to_string(putBack)}});
  if (FileSystem::HoldsAnyFile(holding)) {
    run.log.Write({IDS_LOG_NOT_PUT_BACK_IN, {holding}});
    return;
  }
  Trap(run.reporter, kLocation, [&] { DeleteWholeFolder(holding); });
}
