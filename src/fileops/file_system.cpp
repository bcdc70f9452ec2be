// Queries, folder creation, moves, renames and deletes, with links always
// handled as themselves.
#include "fileops/file_system.h"

#include <windows.h>

#include "fileops/win32_file.h"
#include "support/handles.h"
#include "support/runtime_error.h"
#include "support/text.h"

using namespace Win32File;

namespace Win32File {

std::wstring WithoutTrailingBackslash(std::wstring path) {
  while (path.size() > 3 && path.back() == L'\\') path.pop_back();
  return path;
}

std::wstring ResolveDestination(const std::wstring& source, const std::wstring& destination) {
  if (destination.empty() || destination.back() != L'\\') return destination;
  std::wstring trimmed = source;
  while (trimmed.size() > 1 && trimmed.back() == L'\\') trimmed.pop_back();
  return destination + trimmed.substr(trimmed.find_last_of(L'\\') + 1);
}

// Wine opens what a Linux symbolic link names whatever it is asked, so the
// handle must prove to be the link; otherwise there is none, with
// ERROR_NOT_A_REPARSE_POINT.
UniqueFile OpenLinkItself(const std::wstring& path, DWORD access) {
  UniqueFile link(CreateFileW(path.c_str(), access | FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  if (link && (!GetFileInformationByHandle(link.Get(), &info) || !IsLinkAttributes(info.dwFileAttributes))) {
    link.Reset();
    SetLastError(ERROR_NOT_A_REPARSE_POINT);
  }
  return link;
}

// By its name, Wine would remove the folder the link names when that one is empty.
bool RemoveLink(const std::wstring& path) {
  UniqueFile link = OpenLinkItself(path, DELETE);
  FILE_DISPOSITION_INFO dispose{TRUE};
  return link && SetFileInformationByHandle(link.Get(), FileDispositionInfo, &dispose, sizeof dispose);
}

}  // namespace Win32File

namespace {

bool RemoveOneFile(const std::wstring& path) {
  return Retried([&] { return DeleteFileW(path.c_str()); });
}

bool RemoveOneFolder(const std::wstring& path) {
  return Retried([&] { return RemoveDirectoryW(path.c_str()); });
}

bool Move(const std::wstring& from, const std::wstring& to, DWORD flags) {
  return Retried([&] { return MoveFileExW(from.c_str(), to.c_str(), flags); });
}

void ClearReadOnly(const std::wstring& path, DWORD attributes) {
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
    SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
}

void CreateOneFolder(const std::wstring& path) {
  if (!CreateDirectoryW(path.c_str(), nullptr)) ThrowLastError();
}

// The entries' attributes come with the listing, so a read-only one is made
// writable without asking for its attributes again.
void DeleteTree(const std::wstring& folder, DWORD folderAttributes, bool force, const FileSystem::Pulse& pulse) {
  if (force) ClearReadOnly(folder, folderAttributes);
  ForEachEntry(folder, [&](const std::wstring& name, const WIN32_FIND_DATAW& found) {
    if (pulse) pulse();
    std::wstring path = folder + L"\\" + name;
    DWORD attributes = found.dwFileAttributes;
    // A link inside the tree is removed, never followed: what it points at is not ours.
    if (IsLinkAttributes(attributes)) {
      if (!RemoveLink(path)) ThrowLastError();
      return;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      DeleteTree(path, attributes, force, pulse);
      return;
    }
    if (force) ClearReadOnly(path, attributes);
    if (!RemoveOneFile(path)) ThrowLastError();
  });
  if (!RemoveOneFolder(folder)) ThrowLastError();
}

}  // namespace

namespace FileSystem {

bool FolderExists(const std::string& path) { return IsFolder(Attributes(Widen(path))); }

bool FileExists(const std::string& path) {
  DWORD attributes = Attributes(Widen(path));
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void CreateFolder(const std::string& path) { CreateOneFolder(Widen(path)); }

void CreateFolderPath(const std::string& path) {
  std::wstring folder = WithoutTrailingBackslash(Widen(path));
  if (IsFolder(Attributes(folder))) return;
  size_t slash = folder.find_last_of(L'\\');
  // Up to the drive's root or the share, which are never made here.
  if (slash != std::wstring::npos && slash > 2) CreateFolderPath(Narrow(folder.substr(0, slash)));
  CreateOneFolder(folder);
}

bool IsLink(const std::string& path) { return IsLinkAttributes(Attributes(WithoutTrailingBackslash(Widen(path)))); }

bool HoldsAnyFile(const std::string& folder, const Pulse& pulse) {
  return !ForEachFile(WithoutTrailingBackslash(Widen(folder)), pulse,
                      [](const std::wstring&, const WIN32_FIND_DATAW&) { return false; });
}

std::vector<FileFacts> FilesBelow(const std::string& folder, size_t limit, const Pulse& pulse) {
  std::wstring top = WithoutTrailingBackslash(Widen(folder));
  std::vector<FileFacts> files;
  if (limit == 0) return files;
  ForEachFile(top, pulse, [&](const std::wstring& file, const WIN32_FIND_DATAW& found) {
    uint64_t size = (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    uint64_t written =
        (static_cast<uint64_t>(found.ftLastWriteTime.dwHighDateTime) << 32) | found.ftLastWriteTime.dwLowDateTime;
    files.push_back({Narrow(file.substr(top.size() + 1)), size, written});
    return files.size() < limit;
  });
  return files;
}

void DeleteFolder(const std::string& path, bool force, const Pulse& pulse) {
  std::wstring folder = WithoutTrailingBackslash(Widen(path));
  DWORD attributes = Attributes(folder);
  if (!IsFolder(attributes)) ThrowWin32Error(ERROR_PATH_NOT_FOUND);
  // A folder that is a link goes as a link: its target is somebody else's.
  if (IsLinkAttributes(attributes)) {
    if (!RemoveLink(folder)) ThrowLastError();
    return;
  }
  DeleteTree(folder, attributes, force, pulse);
}

void RemoveEmptyFolders(const std::string& folder) {
  std::wstring top = WithoutTrailingBackslash(Widen(folder));
  ForEachEntry(top, [&](const std::wstring& name, const WIN32_FIND_DATAW& found) {
    if (!IsFolder(found.dwFileAttributes) || IsLinkAttributes(found.dwFileAttributes)) return;
    std::wstring path = top + L"\\" + name;
    RemoveEmptyFolders(Narrow(path));
    RemoveDirectoryW(path.c_str());  // fails, as it should, while anything is left in it
  });
}

void MoveFolder(const std::string& source, const std::string& destination) {
  std::wstring from = Widen(source);
  if (!IsFolder(Attributes(from))) ThrowWin32Error(ERROR_PATH_NOT_FOUND);
  if (!Move(from, ResolveDestination(from, Widen(destination)), 0)) ThrowLastError();
}

void RemoveFile(const std::string& path, bool force) {
  std::wstring file = Widen(path);
  if (force) ClearReadOnly(file, Attributes(file));
  if (!RemoveOneFile(file)) ThrowLastError();
}

void FlushFolder(const std::string& folder) {
  UniqueFile handle(CreateFileW(Widen(folder).c_str(), GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (handle) FlushFileBuffers(handle.Get());
}

void RenameFolder(const std::string& from, const std::string& to) {
  if (!Move(Widen(from), Widen(to), 0)) ThrowLastError();
}

std::string GetParentFolderName(const std::string& path) {
  std::string trimmed = path;
  while (trimmed.size() > 1 && trimmed.back() == '\\') trimmed.pop_back();
  size_t slash = trimmed.find_last_of('\\');
  if (slash == std::string::npos) return {};
  // The parent of "C:\Games" is the drive root, which keeps its backslash.
  if (slash == 2 && trimmed[1] == ':') return trimmed.substr(0, 3);
  return trimmed.substr(0, slash);
}

}  // namespace FileSystem
