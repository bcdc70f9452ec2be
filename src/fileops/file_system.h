#pragma once
// The file and folder operations that every safe operation builds on, with
// the rules the installation steps rely on:
//  - a destination ending in a backslash is an existing folder that receives
//    the source under its own name;
//  - a folder copy into an existing folder merges into it;
//  - folder creation makes one level (CreateFolderPath makes the missing parents too);
//  - folder deletion is recursive, read-only files included, and never goes
//    through a link or junction: the link goes, what it points at stays, and
//    a link that cannot be removed by itself is an error;
//  - a move onto an existing item fails.
// Every failure throws RuntimeError with the Windows error code and text.
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

namespace FileSystem {

// Called between files, and during the copy of a big file, so that the window
// keeps answering through long work; it may be empty. What it throws ends the
// operation and comes out of it.
using Pulse = std::function<void()>;

bool FolderExists(const std::string& path);
bool FileExists(const std::string& path);
void CreateFolder(const std::string& path);
void CreateFolderPath(const std::string& path);
// A folder that is itself a symbolic link or junction (a Linux link, under Wine).
bool IsLink(const std::string& path);
void DeleteFolder(const std::string& path, bool force, const Pulse& pulse = {});
void CopyFolder(const std::string& source, const std::string& destination, bool overwrite, const Pulse& pulse = {});
// A copy that is only read and then deleted need not hold bytes of its own:
// each of its files can be a second name of the source's file (a hard link),
// one entry in a folder however big the file is. A write through either name
// changes both, so whatever writes into such a copy must first give the file
// a name of its own (MakeFileOfItsOwn). A read-only file is copied: its
// attribute belongs to every name, and deleting one name with force would
// clear it for all.
struct LinkedCopy {
  bool linksAllowed = true;  // false: every file is copied, as on a volume without links
  // The Windows error of the first link refused (FAT32 and exFAT have none, a
  // share may refuse them, a file may be at its limit of names); from then on
  // every file is copied. 0 while none was refused.
  uint32_t refusal = 0;
  // Where given, the keys (NameKey) of both names of every file linked.
  std::unordered_set<uint64_t>* linkedNames = nullptr;
  // Folders below the source ("forest1\a") that the copy makes but leaves
  // empty: what is deleted as soon as it is made need not be linked first.
  std::vector<std::string> madeEmpty;
};
void CopyFolderAsLinks(const std::string& source, const std::string& destination, bool overwrite, LinkedCopy& links,
                       const Pulse& pulse = {});
// How many names the file has; 0 when it cannot be opened.
uint32_t NameCount(const std::string& file);
// When the file has other names too (known to share, or so the file system
// says), this one gets a file of its own with the same bytes, times and
// attributes: a copy under a temporary name takes this name's place, so that
// the other names keep the file just as it was.
void MakeFileOfItsOwn(const std::string& file, bool knownShared = false);
// MakeFileOfItsOwn for every file below folder (only those in it, without
// its subfolders, unless deep), those knownShared picks among them known to
// share; links are not entered.
using KnownShared = std::function<bool(const std::string& file)>;
void MakeFilesOfTheirOwn(const std::string& folder, const Pulse& pulse = {}, const KnownShared& knownShared = {},
                         bool deep = true);
void MoveFolder(const std::string& source, const std::string& destination);
void RemoveFile(const std::string& path, bool force);
void CopyOneFile(const std::string& source, const std::string& destination, bool overwrite, const Pulse& pulse = {});
void MoveOneFile(const std::string& source, const std::string& destination, const Pulse& pulse = {});
// Asks the file system to make the folder's entries durable (a rename into
// it, say); where it cannot, the system's own order of writes has to do.
void FlushFolder(const std::string& folder);
// A plain rename: both paths name the folder itself, whatever they end in.
void RenameFolder(const std::string& from, const std::string& to);
// true when a file (or a link) lies anywhere below folder; links are not entered.
bool HoldsAnyFile(const std::string& folder, const Pulse& pulse = {});
// A file below a folder as a record of an installation keeps it: its path
// relative to the folder, its size and its last-write time (a FILETIME).
struct FileFacts {
  std::string path;
  uint64_t size = 0;
  uint64_t written = 0;
  bool operator==(const FileFacts&) const = default;
};
// The files (and links) below folder, at most limit of them; links are not entered.
std::vector<FileFacts> FilesBelow(const std::string& folder, size_t limit = SIZE_MAX, const Pulse& pulse = {});
// Removes the folders below folder that hold nothing, the deepest first;
// folder itself stays, and links are neither entered nor removed.
void RemoveEmptyFolders(const std::string& folder);
// The text before the last backslash ("C:\" for "C:\Games"); empty when none.
std::string GetParentFolderName(const std::string& path);

// Moves the file from to the full path to (replacing a file there when
// replace), so that a cut at any moment leaves the whole source, and under to
// nothing, the earlier file or the whole new one. Within a volume it is a
// rename; onto another volume it is MoveFileByCopy.
void MoveFileWhole(const std::string& from, const std::string& to, bool replace);
// The move as a copy: the bytes, times and attributes under to + ".zem7move"
// (one a cut run left goes first), flushed, renamed onto to, and only then
// the source deleted. It works within a volume too.
void MoveFileByCopy(const std::string& from, const std::string& to, bool replace);

}  // namespace FileSystem
