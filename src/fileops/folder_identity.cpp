#include "fileops/folder_identity.h"

#include <windows.h>

#include <cstring>

#include "fileops/file_system.h"
#include "support/handles.h"
#include "support/path_helpers.h"
#include "support/text.h"

namespace {

// Asking only for attributes neither needs nor disturbs any sharing: this
// opens a folder that a program (or the installer itself) holds.
UniqueFile OpenForQuery(const std::wstring& path) {
  return UniqueFile(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

// Without the "\\?\" a final path carries: the form every other path here has.
// Asked of every file a held tree holds, so the buffer grows only as needed.
std::wstring FinalPathOfHandle(HANDLE item) {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = GetFinalPathNameByHandleW(item, buffer.data(), static_cast<DWORD>(buffer.size()),
                                             FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0) return {};
    if (length < buffer.size()) return PlainPathName(buffer.substr(0, length));
    buffer.resize(length + 1);
  }
}

// File systems without 128-bit ids (FAT) still give the older 64-bit index.
std::optional<FileSystem::FolderId> IdentityOfHandle(HANDLE item) {
  FileSystem::FolderId id;
  FILE_ID_INFO info{};
  if (GetFileInformationByHandleEx(item, FileIdInfo, &info, sizeof info)) {
    id.volume = info.VolumeSerialNumber;
    std::memcpy(id.file.data(), info.FileId.Identifier, id.file.size());
    return id;
  }
  BY_HANDLE_FILE_INFORMATION older{};
  if (!GetFileInformationByHandle(item, &older)) return std::nullopt;
  id.volume = older.dwVolumeSerialNumber;
  uint64_t index = (static_cast<uint64_t>(older.nFileIndexHigh) << 32) | older.nFileIndexLow;
  std::memcpy(id.file.data(), &index, sizeof index);
  return id;
}

std::wstring ParentOf(const std::wstring& path) {
  size_t slash = path.find_last_of(L'\\');
  if (slash == std::wstring::npos) return {};
  if (slash == 2 && path[1] == L':') return path.size() > 3 ? path.substr(0, 3) : std::wstring();
  return path.substr(0, slash);
}

}  // namespace

namespace FileSystem {

std::string FinalPathOf(void* handle) { return Narrow(FinalPathOfHandle(handle)); }

std::string FinalPathOf(const std::string& existing) {
  UniqueFile item = OpenForQuery(Widen(existing));
  return item ? Narrow(FinalPathOfHandle(item.Get())) : std::string();
}

// Under Wine the volume number follows the drive a handle was opened
// through; the final path names the same drive for every alias, so the
// identity is read through it.
std::optional<FolderId> IdentityOf(const std::string& path) {
  UniqueFile item = OpenForQuery(Widen(path));
  if (!item) return std::nullopt;
  std::wstring final = FinalPathOfHandle(item.Get());
  if (UniqueFile canonical = final.empty() ? UniqueFile() : OpenForQuery(final))
    return IdentityOfHandle(canonical.Get());
  return IdentityOfHandle(item.Get());
}

bool IsSameOrInside(const std::string& path, const FolderId& outer) {
  std::wstring existing = Widen(path);
  while (existing.size() > 3 && existing.back() == L'\\') existing.pop_back();
  while (!existing.empty() && !FolderExists(Narrow(existing)) && !FileExists(Narrow(existing)))
    existing = ParentOf(existing);
  if (existing.empty()) return false;
  std::wstring final = Widen(FinalPathOf(Narrow(existing)));
  for (std::wstring at = final.empty() ? existing : final; !at.empty(); at = ParentOf(at))
    if (IdentityOf(Narrow(at)) == outer) return true;
  return false;
}

std::vector<DriveRoot> DriveRoots() {
  // An empty card reader or disc drive must not ask for a disc.
  UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  std::vector<DriveRoot> roots;
  // Each letter is asked: Wine's list of drives leaves out one made by a link
  // in its dosdevices folder, which is a drive all the same.
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    std::string root = std::string(1, letter) + ":\\";
    if (GetDriveTypeW(Widen(root).c_str()) == DRIVE_NO_ROOT_DIR) continue;
    if (std::optional<FolderId> id = IdentityOf(root)) roots.push_back({root, *id});
  }
  SetErrorMode(previousMode);
  return roots;
}

}  // namespace FileSystem
