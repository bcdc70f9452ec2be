#pragma once
// Where a name inside a folder really leads. A link, a junction or a mounted
// folder on the way, or under Wine a Linux link to a file that looks like a
// plain file, makes a name below the folder lead somewhere else, and what is
// moved or deleted through it is somebody else's file: under Wine a delete
// or a rename through such a name acts on the file it names. Each item is
// judged through the very handle the work is then done through, so nothing
// swapped in between counts.
#include <string>

namespace FileSystem {

class FolderBounds {
 public:
  // Throws RuntimeError when the folder cannot be opened.
  explicit FolderBounds(const std::string& folder);
  // The folder as given, without a trailing backslash.
  const std::string& Folder() const { return folder_; }
  // "" when the item open as handle (a Win32 HANDLE) is the one listed at
  // relative below the folder ("" for the folder itself); else the full
  // path it leads to.
  std::string WhereItLeads(void* handle, const std::string& relative) const;

 private:
  std::string folder_;
  std::wstring final_;  // where the folder itself lies, comparable; "" where the drive cannot tell
};

// Moves the file at from below fromBounds to to below toBounds, its folders
// made: a rename through a handle to the file, into a handle to its new
// folder, each proven to lie inside. A link that the system shows as one is
// moved as itself. A source that leads outside is not moved: the path it
// leads to is returned ("" once moved). A destination folder that leads
// outside is refused by its name (RuntimeError), as is any other failure.
// Onto another volume the move, the source proven, is MoveFileByCopy.
std::string MoveFileInside(const FolderBounds& fromBounds, const std::string& from, const FolderBounds& toBounds,
                           const std::string& to, bool replace);
// Renames the item open as handle to the path to below bounds, relative to
// a handle to its folder (made where missing) that is proven to lie inside
// and held meanwhile; such a folder that leads outside is refused by its
// name, saying what was to go there (RuntimeError). false, with the
// system's error, when the rename fails.
bool RenameIntoFolderInside(const FolderBounds& bounds, void* item, const std::string& to, bool replace,
                            const std::string& what);
// Deletes the file at relative below bounds through a handle proven to lie
// inside, read-only or not, a moment's sharing retried. Returns where it
// leads when it does not ("" when deleted, or when there is none).
std::string DeleteFileInside(const FolderBounds& bounds, const std::string& relative);
// DeleteFileInside for a name the caller is about to write itself: one that
// leads outside is refused by its name (RuntimeError), since whatever
// writes there would write into the file it names.
void ClearNameInside(const FolderBounds& bounds, const std::string& relative);

}  // namespace FileSystem
