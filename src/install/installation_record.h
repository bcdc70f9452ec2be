#pragma once
// The record an installation keeps in its folder of what is whose: every
// file it put there with its size and last-write time, and the shortcuts it
// made. A removal takes only what the record lists and is unchanged; a re-run
// keeps what the player made or changed since. A run states in it that it is
// under way before it empties anything, so that a run cut off at any moment
// leaves a folder whose next run knows the player's files.
//
// What lies in the holding folder ("ZEM7 Kept Files") is the player's
// whatever the record says.
//
// It is a UTF-8 text with a byte-order mark. Its first line names the format
// and version; each line after it is one fact, its fields separated by tabs
// (which no file name holds); its last line counts the lines and carries a
// checksum of everything before it, so that a torn or edited record is told
// from a whole one.
#include <string>
#include <variant>
#include <vector>

#include "fileops/file_system.h"
#include "support/texts.h"

constexpr const char* kRecordName = "ZEM7Install.dat";
constexpr const char* kUninstallerName = "ZEM7Uninstall.exe";

constexpr const char* kPartialRecordName = "ZEM7Install.dat.new";
constexpr const char* kHoldingFolderName = "ZEM7 Kept Files";

enum class RecordStage {
  Complete,  // the installation ran to its end: files lists what it put there
  Stopped,   // stopped before its end: files lists what it put there so far
  UnderWay,  // a run is emptying or filling the folder: files lists the earlier
             // installation's files until the emptying, then what the run made by
             // its last finished step; any other file is the player's
  Removed,   // the mod was removed: whatever is left is the player's
};

struct InstallationRecord {
  RecordStage stage = RecordStage::Complete;
  std::string gameFolder;                    // the FlatOut game folder it was made from
  std::vector<std::string> shortcuts;        // full paths
  std::vector<FileSystem::FileFacts> files;  // the installation's, relative to the folder
  std::vector<FileSystem::FileFacts> kept;   // the player's, by the paths they are put back to
  // Files found after a run was cut off that the run may have made as well
  // as the player: kept, but put back only beside what the next run makes.
  std::vector<FileSystem::FileFacts> found;
  std::string folderId;         // the folder's own identity, "" in older records
  std::string uninstallKey;     // the entry in Apps & features it registered, "" when none
  bool usersMayModify = false;  // the folder was made writable for the Users group
  bool operator==(const InstallationRecord&) const = default;
};

// Writes folder's record under a temporary name, flushed, and renames it over
// the old one, then flushes the folder, so that a crash never leaves half a
// record and a finished write stays. Throws RuntimeError.
void WriteRecord(const std::string& folder, const InstallationRecord& record);
// A rename over the record that a file system without a journal (FAT,
// exFAT) tore between its delete and its rename leaves only the whole new
// record: that is the record, and it is renamed into place. true when it was.
// Throws RuntimeError.
bool RestoreTornRecord(const std::string& folder);
// Why a record cannot be trusted: its file cannot be read, or what it says
// cannot be used, and why.
struct RecordFault {
  std::string path;
  Message unusable;  // empty when the file cannot be read
  // "<path>" cannot be read, or cannot be used: <why>.
  Message Why() const;
  // The same said of the record itself, without its path.
  Message WhyOfTheRecord() const;
};
// folder's record, or why it cannot be trusted: missing, torn, edited, or
// naming a path that is absolute, climbs out of the folder, names a stream or
// ends in a dot or a blank (which Windows strips, so "..." would become "..").
std::variant<InstallationRecord, RecordFault> ReadRecord(const std::string& folder);
// The record's text and its reading, apart from any file.
std::string RecordText(const InstallationRecord& record);
std::variant<InstallationRecord, Message> ParseRecord(const std::string& text);
// The record (also while it is being replaced) and the uninstaller, which
// belong to the installation without being listed in its record.
bool IsInstallersOwnFile(const std::string& path);
// The entries at the folder's top that a recreate leaves as they are: the
// record, which is replaced and never removed first, and the holding folder,
// which is the player's.
std::vector<std::string> EntriesNeverEmptied();
// Whether a path below the folder lies in the holding folder.
bool IsInHoldingFolder(const std::string& path);
