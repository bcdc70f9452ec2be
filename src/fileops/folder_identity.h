#pragma once
// A folder is the same folder under any name: a drive letter, a mounted
// folder, a subst drive, a short name or a link gives one folder many names,
// and under Wine every drive is a link into the Linux tree, with Z: naming all
// of it. Whether two names mean one folder, or one lies inside the other, is
// therefore judged by the folders themselves: their volume and file id.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace FileSystem {

// Under Wine the volume number is the drive's, as its mount manager knows
// it, and 0 while that does not answer (in a prefix just made, say): a 0 is
// taken as "not known", and the file ids alone decide. Taking two folders for
// one errs on the safe side: the target is refused.
struct FolderId {
  uint64_t volume = 0;
  std::array<uint8_t, 16> file{};
  bool operator==(const FolderId& other) const {
    return file == other.file && (volume == other.volume || volume == 0 || other.volume == 0);
  }
};

// The identity of an existing file or folder, taken through its final path
// (the name the system itself gives it), so that every alias agrees; nothing
// when it cannot be opened.
std::optional<FolderId> IdentityOf(const std::string& path);
// Where an existing item really is: links and junctions (under Wine, Linux
// links and drives) resolved, short names expanded; "" when it cannot be opened.
std::string FinalPathOf(const std::string& existing);
// The same for the item open as handle (a Win32 HANDLE); "" when the drive cannot tell.
std::string FinalPathOf(void* handle);
// true when path names the folder outer or an item below it, judged along
// path's final path up to its root. A path that does not exist yet stands
// where its nearest existing parent stands.
bool IsSameOrInside(const std::string& path, const FolderId& outer);
// The roots of the drives that exist ("D:\"), each with its identity.
struct DriveRoot {
  std::string root;
  FolderId id;
};
std::vector<DriveRoot> DriveRoots();

}  // namespace FileSystem
