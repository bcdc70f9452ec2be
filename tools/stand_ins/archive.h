#pragma once
// The archive format of the test stand-ins for the mod's tools: one file that
// holds a folder tree (folders too, so empty ones survive), the files' bytes,
// their last-write times and their read-only flags. Both the "RAR" and the
// "BFS" stand-ins use it; only the magic at the start tells them apart, so
// each tool refuses the other's archives as the real ones would.
//
// File data always streams through a fixed buffer: game archives can be 1 GB.
// Each file's bytes carry a checksum, so that a damaged archive is found out
// before anything is unpacked from it.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "support/handles.h"

enum class ArchiveKind { Rar, Bfs };

// What a caller may act on: an extractor's exit code tells an archive that
// cannot be opened from a damaged one (cut off, foreign, failing a checksum)
// and from any other failure (a file it cannot write).
enum class ArchiveFault { Failed, CannotOpen, Damaged };

class ArchiveError : public std::runtime_error {
 public:
  explicit ArchiveError(const std::string& what, ArchiveFault fault = ArchiveFault::Failed)
      : std::runtime_error(what), fault_(fault) {}
  ArchiveFault Fault() const { return fault_; }

 private:
  ArchiveFault fault_;
};

struct ArchiveEntry {
  std::string name;  // relative path with backslashes, never a trailing one
  bool isFolder = false;
  bool readOnly = false;
  uint64_t size = 0;
  uint64_t lastWrite = 0;  // FILETIME ticks (UTC)
};

// How a stored file looks after unpacking. lastWrite 0 means "now".
struct EntryStamp {
  uint64_t lastWrite = 0;
  bool readOnly = false;
};

// Writes an archive entry by entry. Parent folder entries are written on
// demand, before the first entry below them. An archive is complete only
// after Finish(): until then it lacks the end record and readers reject it,
// like a tool that is still writing (or crashed).
class ArchiveWriter {
 public:
  ArchiveWriter(const std::string& archivePath, ArchiveKind kind);
  ~ArchiveWriter();
  ArchiveWriter(const ArchiveWriter&) = delete;
  ArchiveWriter& operator=(const ArchiveWriter&) = delete;

  // Fills `length` bytes at `data` with the file's content from `offset` on.
  using Filler = std::function<void(uint64_t offset, char* data, size_t length)>;

  void AddFolder(const std::string& name);
  // Copies a file from disk, with its last-write time and read-only flag.
  void AddFile(const std::string& name, const std::string& sourcePath);
  void AddGenerated(const std::string& name, uint64_t size, const Filler& fill, EntryStamp stamp = {});
  void AddText(const std::string& name, std::string_view content, EntryStamp stamp = {});
  // Every folder and file below `folder`, sorted, named "<prefix>\<relative path>" (or the bare relative path).
  void AddTree(const std::string& folder, const std::string& prefix = "");
  void Finish();

  size_t EntryCount() const { return entryCount_; }

 private:
  void WriteEntryHeader(char type, const std::string& name, bool readOnly);
  void EnsureParents(const std::string& name);
  void Write(const void* data, size_t length);
  void Flush();

  UniqueFile file_;
  std::string path_;
  std::vector<char> buffer_;
  size_t used_ = 0;
  std::set<std::string> folders_;
  size_t entryCount_ = 0;
  bool finished_ = false;
};

// Packs the tree below `folder` (not the folder itself) into a new archive.
// With a prefix every entry name starts with "<prefix>\".
void PackFolder(const std::string& folder, const std::string& archivePath, ArchiveKind kind,
                const std::string& prefix = "");
// Every entry, in archive order. Throws ArchiveError when the file is not a
// complete archive of that kind. Reads the headers only, skipping the files'
// bytes unchecked, as "unrar l" does: a listing stays fast on a gigabyte, and
// shows what a damaged archive holds.
std::vector<ArchiveEntry> ListArchive(const std::string& archivePath, ArchiveKind kind);
// Reads every file's bytes and checks them against their checksums, as far as
// the end record. `onTested` sees each entry once it has passed.
void TestArchive(const std::string& archivePath, ArchiveKind kind,
                 const std::function<void(const ArchiveEntry&)>& onTested = {});
// Recreates every entry below `destination` (created when missing), replacing
// existing files even when they are read-only. `onEntry` sees each entry
// before it is written. A file whose bytes fail their checksum is deleted
// again, and the error names it; the entries before it stay unpacked.
void UnpackArchive(const std::string& archivePath, ArchiveKind kind, const std::string& destination,
                   const std::function<void(const ArchiveEntry&)>& onEntry = {});
// Changes a few bytes inside the first stored file's data and nothing else:
// the archive still lists, but fails its test, like a damaged download.
void DamageArchiveData(const std::string& archivePath, ArchiveKind kind);

// Small Win32 file helpers shared by the stand-ins and the fixture.
std::string JoinPath(const std::string& folder, const std::string& relative);
bool PathIsFolder(const std::string& path);
bool PathIsFile(const std::string& path);
// Creates the folder and any missing parents.
void CreateFolders(const std::string& path);
uint64_t CurrentFileTime();
