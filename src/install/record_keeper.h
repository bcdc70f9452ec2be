#pragma once
// The one keeper of what is whose in a ZEM7 Game Folder: the record and its
// stages, the holding folder ("ZEM7 Kept Files") and the folder's
// VirtualStore. Readiness, the driver and the removal ask it whether a file
// is the player's, and change the record only through its transitions, each
// of which checks the stage it leaves, on disk as well as here:
//
//   (none), Complete, Stopped, UnderWay, Removed --BeginRun--> UnderWay
//   UnderWay --Abandon--> what it was, the player's files where they were
//   UnderWay --NoteMade--> UnderWay, listing what the run made so far
//   UnderWay --CommitRun--> Complete or Stopped
//   Complete, Stopped --BeginRemoval, CommitRemoval--> Removed
//
// A file is the installation's only when the record lists it with its size
// and last-write time (the record, the uninstaller and the run's work
// folder "datafull" aside); anything else, and all of the holding folder, is
// the player's.
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "fileops/held_tree.h"
#include "install/installation_record.h"
#include "support/run_context.h"

// Whether a last-write time read now is the one recorded (FILETIMEs). A
// drive that keeps local times (FAT, exFAT) reads whole hours off after a
// change of daylight saving time or of the time zone, and keeps even seconds.
bool SameFileTime(uint64_t recorded, uint64_t now, bool localTimes);

class RecordKeeper {
 public:
  // The folder's record as the last run left it (folder ends in a backslash).
  // A record that a torn rename left under its temporary name alone is put
  // in place first. A record that names another folder as its own is none
  // of this one's: every file is then the player's.
  static RecordKeeper Open(const std::string& folder);

  const std::string& Folder() const { return folder_; }
  // Whether a record file exists, usable or not.
  bool HasRecordFile() const { return hasFile_; }
  // The usable record, or nullptr (none, or unusable: see Fault).
  const InstallationRecord* Record() const { return record_ ? &*record_ : nullptr; }
  // Why the record file cannot be used, nothing when it can or there is none.
  const std::optional<RecordFault>& Fault() const { return fault_; }
  // Whether the record was made in another folder and brought here.
  bool NamesAnotherFolder() const { return foreign_; }
  bool IsUnderWay() const { return stage_ == RecordStage::UnderWay; }
  void NoteUsersMayModify(bool mayModify) { current_.usersMayModify = mayModify; }

  // The one answer to "is this file the player's?", for a file below the
  // folder as it is now (its path relative to the folder).
  bool IsPlayers(const FileSystem::FileFacts& file) const;
  std::vector<FileSystem::FileFacts> PlayersFiles(const std::vector<FileSystem::FileFacts>& now) const;
  // How many of the files listed with their size now carry another time:
  // what a clock, a drive or a copy does to every file, and a player seldom.
  size_t OnlyTimeChanged(const std::vector<FileSystem::FileFacts>& now) const;
  std::string HoldingFolder() const;
  // The player's VirtualStore for the folder, "" when Windows keeps none.
  std::string VirtualStore() const;
  size_t FilesInVirtualStore() const;

  // Says the run is under way, then sets the player's files aside into the
  // holding folder: those at their places in held (none for a new or empty
  // folder), those an earlier run left there, and those in the VirtualStore.
  // Throws RuntimeError with nothing deleted; Abandon then puts it all back.
  void BeginRun(RunContext& run, FileSystem::HeldTree* held);
  // Before any deletion: every file set aside goes back where it was, and
  // the earlier record with it (or none, where there was none).
  void Abandon(RunContext& run);
  // Once the folder is emptied and at each step's end: the record lists what
  // the run has made, so that a file made after a cut is told from it.
  void NoteMade(RunContext& run);
  // Moves every file of the holding folder to its place; a file that cannot
  // go back stays there, reported.
  void PutBack(RunContext& run);
  // The run's end: the uninstaller, the record of what it put there (first,
  // flushed with its folder) and the entry in Apps & features.
  void CommitRun(RunContext& run, RecordStage stage);
  // A removal may begin from a finished or a stopped installation; a stopped
  // one's files that wait in the holding folder go back to their places.
  void BeginRemoval(RunContext& run);
  // Replaces the record with one that says the mod was removed.
  void CommitRemoval(RunContext& run);

  // Where the player's files wait when some are left there, else "".
  std::string KeptIn() const;
  // The player's files put back, relative to the folder.
  const std::vector<std::string>& KeptFiles() const { return keptFiles_; }

 private:
  explicit RecordKeeper(std::string folder) : folder_(std::move(folder)) {}
  void Write(const InstallationRecord& next);
  void ExpectStage(std::initializer_list<std::optional<RecordStage>> allowed, TextId transition) const;

  std::string folder_;
  bool hasFile_ = false;
  bool localTimes_ = false;  // the volume keeps local times (FAT, exFAT)
  std::optional<RecordFault> fault_;
  std::optional<InstallationRecord> onDisk_;             // as read, to be written back when a run is abandoned
  std::optional<InstallationRecord> record_;             // what the player's files are judged by
  bool foreign_ = false;                                 // the record was made in another folder
  std::map<std::string, FileSystem::FileFacts> listed_;  // record_'s files by their paths in upper case
  InstallationRecord current_;                           // as written last by this run
  std::optional<RecordStage> stage_;                     // on disk now; none without a record
  // From a path below the folder, or below the VirtualStore, to one below the folder.
  struct Move {
    bool fromStore = false;
    std::string from, to;
  };
  std::vector<Move> setAside_;  // this run's moves into the holding folder, in order
  std::vector<std::string> keptFiles_;
};
