#pragma once
// The record an installation keeps in its folder of what it put there: every
// file with its size and last-write time, the shortcuts it made, and its
// entry in Apps & features. A removal takes only what the record lists and
// is unchanged; a re-run keeps what the player made or changed since.
//
// It is a UTF-8 text with a byte-order mark. Its first line names the format
// and version; each line after it is one fact, its fields separated by tabs
// (which no file name holds); its last line counts the lines and carries a
// checksum of everything before it, so that a torn or edited record is told
// from a whole one.
#include <functional>
#include <string>
#include <variant>
#include <vector>

#include "fileops/file_system.h"

constexpr const char* kRecordName = "ZEM7Install.dat";
constexpr const char* kUninstallerName = "ZEM7Uninstall.exe";

struct InstallationRecord {
  std::string gameFolder;                    // the FlatOut game folder it was made from
  std::string uninstallKey;                  // the key's name under Apps & features' key
  std::vector<std::string> shortcuts;        // full paths
  std::vector<FileSystem::FileFacts> files;  // relative to the folder
  bool operator==(const InstallationRecord&) const = default;
};

// Writes folder's record under a temporary name and renames it over the old
// one, so that a crash never leaves half a record. Throws RuntimeError.
void WriteRecord(const std::string& folder, const InstallationRecord& record);
// folder's record, or why it cannot be trusted: missing, torn, edited, or
// naming a path that is absolute, climbs out of the folder or names a stream.
std::variant<InstallationRecord, std::string> ReadRecord(const std::string& folder);
// The record's text and its reading, apart from any file.
std::string RecordText(const InstallationRecord& record);
std::variant<InstallationRecord, std::string> ParseRecord(const std::string& text);
// The record and the uninstaller, which belong to the installation without
// being listed in its record.
bool IsInstallersOwnFile(const std::string& path);
// Whether a file, as it is now, is one the player made or changed since: the
// record does not list it with that size and last-write time. Names compare
// in any case, as Windows does.
std::function<bool(const FileSystem::FileFacts&)> MadeOrChangedSince(const InstallationRecord& record);
// The files below folder that the record does not list as they are now:
// new ones, and those whose size or last-write time changed. The record and
// the uninstaller themselves are the installation's.
std::vector<FileSystem::FileFacts> FilesMadeOrChangedSince(const InstallationRecord& record,
                                                           const std::vector<FileSystem::FileFacts>& now);
