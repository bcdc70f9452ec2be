#include "fileops/file_system.h"

#include <windows.h>

#include <exception>
#include <vector>

#include "support/handles.h"
#include "support/runtime_error.h"
#include "support/text.h"

namespace {

DWORD Attributes(const std::wstring& path) { return GetFileAttributesW(path.c_str()); }

// A program that has just ended (or a virus scanner) may hold a file for a
// moment; such a refusal is worth a few short retries before it is an error.
template <typename Operation>
bool Retried(Operation&& operation) {
  constexpr int kAttempts = 20;
  for (int attempt = 1;; ++attempt) {
    if (operation()) return true;
    DWORD error = GetLastError();
    if ((error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION) || attempt == kAttempts) {
      SetLastError(error);
      return false;
    }
    Sleep(50);
  }
}

bool RemoveOneFile(const std::wstring& path) {
  return Retried([&] { return DeleteFileW(path.c_str()); });
}

bool RemoveOneFolder(const std::wstring& path) {
  return Retried([&] { return RemoveDirectoryW(path.c_str()); });
}

bool Move(const std::wstring& from, const std::wstring& to, DWORD flags) {
  return Retried([&] { return MoveFileExW(from.c_str(), to.c_str(), flags); });
}

bool IsFolder(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring NameOf(const std::wstring& path) {
  std::wstring trimmed = path;
  while (trimmed.size() > 1 && trimmed.back() == L'\\') trimmed.pop_back();
  return trimmed.substr(trimmed.find_last_of(L'\\') + 1);
}

// "D:\Into\" + "C:\From\Name" names "D:\Into\Name"; any other destination names itself.
std::wstring ResolveDestination(const std::wstring& source, const std::wstring& destination) {
  if (!destination.empty() && destination.back() == L'\\') return destination + NameOf(source);
  return destination;
}

void ClearReadOnly(const std::wstring& path, DWORD attributes) {
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
    SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
}

void CreateOneFolder(const std::wstring& path) {
  if (!CreateDirectoryW(path.c_str(), nullptr)) ThrowLastError();
}

bool IsLinkAttributes(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Opens a link or junction itself, never what it names. Wine opens what a
// Linux symbolic link names whatever it is asked, so the handle must prove to
// be the link; otherwise there is none, with ERROR_NOT_A_REPARSE_POINT.
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

// Removes the link through a handle to the link itself: by its name, Wine
// would remove the folder it names when that one is empty.
bool RemoveLink(const std::wstring& path) {
  UniqueFile link = OpenLinkItself(path, DELETE);
  FILE_DISPOSITION_INFO dispose{TRUE};
  return link && SetFileInformationByHandle(link.Get(), FileDispositionInfo, &dispose, sizeof dispose);
}

std::wstring WithoutTrailingBackslash(std::wstring path) {
  while (path.size() > 3 && path.back() == L'\\') path.pop_back();
  return path;
}

// Calls visit(name, attributes) for every entry of folder but "." and "..".
template <typename Visit>
void ForEachEntry(const std::wstring& folder, Visit&& visit) {
  WIN32_FIND_DATAW found;
  UniqueFind search(FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                                     FIND_FIRST_EX_LARGE_FETCH));
  if (!search) ThrowLastError();
  do {
    std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") visit(name, found.dwFileAttributes);
  } while (FindNextFileW(search.Get(), &found));
  if (GetLastError() != ERROR_NO_MORE_FILES) ThrowLastError();
}

// Calls visit(path, findData) for every file below folder, links to folders
// counted as files and never entered, until visit returns false; false then.
template <typename Visit>
bool ForEachFile(const std::wstring& folder, const FileSystem::Pulse& pulse, Visit&& visit) {
  WIN32_FIND_DATAW found;
  UniqueFind search(FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                                     FIND_FIRST_EX_LARGE_FETCH));
  if (!search) return true;
  do {
    std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    std::wstring path = folder + L"\\" + name;
    bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !IsLinkAttributes(found.dwFileAttributes);
    if (pulse) pulse();
    if (!(isFolder ? ForEachFile(path, pulse, visit) : visit(path, found))) return false;
  } while (FindNextFileW(search.Get(), &found));
  return true;
}

// The entries' attributes come with the listing, so a read-only one is made
// writable without asking for its attributes again.
void DeleteTree(const std::wstring& folder, DWORD folderAttributes, bool force, const FileSystem::Pulse& pulse) {
  if (force) ClearReadOnly(folder, folderAttributes);
  ForEachEntry(folder, [&](const std::wstring& name, DWORD attributes) {
    if (pulse) pulse();
    std::wstring path = folder + L"\\" + name;
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
    bool removed = RemoveOneFile(path);
    if (!removed) ThrowLastError();
  });
  if (!RemoveOneFolder(folder)) ThrowLastError();
}

// A big file's copy calls the pulse with every chunk. What the pulse throws
// must not cross the system's frames: it cancels the copy and is thrown again
// once the system has returned.
struct PulseInCopy {
  const FileSystem::Pulse& pulse;
  std::exception_ptr thrown;
};

DWORD CALLBACK CopyProgress(LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER, DWORD, DWORD, HANDLE, HANDLE,
                            LPVOID data) {
  auto& state = *static_cast<PulseInCopy*>(data);
  try {
    state.pulse();
    return PROGRESS_CONTINUE;
  } catch (...) {
    state.thrown = std::current_exception();
    return PROGRESS_CANCEL;
  }
}

template <typename Copy>
bool WithPulse(const FileSystem::Pulse& pulse, Copy&& copy) {
  PulseInCopy state{pulse, nullptr};
  bool copied = Retried([&] { return copy(pulse ? CopyProgress : nullptr, &state); });
  if (state.thrown) std::rethrow_exception(state.thrown);
  return copied;
}

// Wine's CopyFileEx never calls its progress routine, and a game archive of
// several hundred megabytes takes seconds: a file this big is copied here in
// chunks, with the pulse between them, keeping what a copy keeps (the times,
// the attributes). A copy that does not end leaves no part of a file behind.
constexpr uint64_t kChunkedCopyFromBytes = 16u << 20;
constexpr DWORD kChunkBytes = 4u << 20;

// A new file is made as new, not truncated: a file truncated to nothing is
// written back to the disk as a whole as soon as it is closed (ext4 does so,
// to keep a replaced file safe), and under Wine that close holds the server
// and with it every window for a quarter of a second per big archive.
UniqueFile CreateCopyTarget(const std::wstring& to, bool overwrite) {
  auto create = [&](DWORD disposition) {
    return UniqueFile(
        CreateFileW(to.c_str(), GENERIC_WRITE, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
  };
  UniqueFile created = create(CREATE_NEW);
  if (created || !overwrite || GetLastError() != ERROR_FILE_EXISTS) return created;
  return create(CREATE_ALWAYS);
}

bool CopyInChunks(const std::wstring& from, const std::wstring& to, bool overwrite, const FileSystem::Pulse& pulse) {
  UniqueFile source(CreateFileW(from.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!source || !GetFileInformationByHandle(source.Get(), &info)) return false;
  UniqueFile target = CreateCopyTarget(to, overwrite);
  if (!target) return false;
  struct PartLeft {
    const std::wstring& path;
    UniqueFile& file;
    bool done = false;
    ~PartLeft() {
      if (done) return;
      DWORD error = GetLastError();
      file.Reset();
      DeleteFileW(path.c_str());
      SetLastError(error);
    }
  } part{to, target};
  std::vector<char> buffer(kChunkBytes);
  for (DWORD read = 0;; pulse()) {
    if (!ReadFile(source.Get(), buffer.data(), kChunkBytes, &read, nullptr)) return false;
    if (read == 0) break;
    DWORD written = 0;
    if (!WriteFile(target.Get(), buffer.data(), read, &written, nullptr)) return false;
  }
  if (!SetFileTime(target.Get(), &info.ftCreationTime, &info.ftLastAccessTime, &info.ftLastWriteTime)) return false;
  part.done = true;
  target.Reset();
  return SetFileAttributesW(to.c_str(), info.dwFileAttributes) != FALSE;
}

uint64_t SizeOf(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool CopyOne(const std::wstring& from, const std::wstring& to, bool overwrite, const FileSystem::Pulse& pulse) {
  if (pulse && SizeOf(from) >= kChunkedCopyFromBytes)
    return Retried([&] { return CopyInChunks(from, to, overwrite, pulse); });
  return WithPulse(pulse, [&](LPPROGRESS_ROUTINE progress, PulseInCopy* state) {
    return CopyFileExW(from.c_str(), to.c_str(), progress, state, nullptr, overwrite ? 0 : COPY_FILE_FAIL_IF_EXISTS);
  });
}

void CopyTree(const std::wstring& source, const std::wstring& destination, bool overwrite,
              const FileSystem::Pulse& pulse) {
  if (!IsFolder(Attributes(destination))) CreateOneFolder(destination);
  ForEachEntry(source, [&](const std::wstring& name, DWORD attributes) {
    if (pulse) pulse();
    std::wstring from = source + L"\\" + name;
    std::wstring to = destination + L"\\" + name;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      CopyTree(from, to, overwrite, pulse);
    } else if (!CopyOne(from, to, overwrite, pulse)) {
      ThrowLastError();
    }
  });
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

uint64_t TreeSize(const std::string& folder, const Pulse& pulse) {
  uint64_t bytes = 0;
  ForEachFile(WithoutTrailingBackslash(Widen(folder)), pulse,
              [&](const std::wstring& file, const WIN32_FIND_DATAW& found) {
                (void)file;
                bytes += (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
                return true;
              });
  return bytes;
}

// Opening a file for deletion without sharing fails while any other program
// holds it, so this finds a held file before anything is deleted.
std::optional<BlockedFile> FirstUndeletableFile(const std::string& folder, const Pulse& pulse) {
  std::optional<BlockedFile> blocked;
  ForEachFile(
      WithoutTrailingBackslash(Widen(folder)), pulse, [&](const std::wstring& file, const WIN32_FIND_DATAW& found) {
        UniqueFile probe = IsLinkAttributes(found.dwFileAttributes)
                               ? OpenLinkItself(file, DELETE)
                               : UniqueFile(CreateFileW(file.c_str(), DELETE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        if (!probe) blocked = BlockedFile{Narrow(file), GetLastError()};
        return !blocked;
      });
  return blocked;
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

void CopyFolder(const std::string& source, const std::string& destination, bool overwrite, const Pulse& pulse) {
  std::wstring from = Widen(source);
  if (!IsFolder(Attributes(from))) ThrowWin32Error(ERROR_PATH_NOT_FOUND);
  CopyTree(from, ResolveDestination(from, Widen(destination)), overwrite, pulse);
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

void CopyOneFile(const std::string& source, const std::string& destination, bool overwrite, const Pulse& pulse) {
  std::wstring from = Widen(source);
  if (!CopyOne(from, ResolveDestination(from, Widen(destination)), overwrite, pulse)) ThrowLastError();
}

// Onto another drive a move is a copy: the pulse comes with its chunks.
void MoveOneFile(const std::string& source, const std::string& destination, const Pulse& pulse) {
  std::wstring from = Widen(source), to = ResolveDestination(from, Widen(destination));
  bool moved = WithPulse(pulse, [&](LPPROGRESS_ROUTINE progress, PulseInCopy* state) {
    return MoveFileWithProgressW(from.c_str(), to.c_str(), progress, state, MOVEFILE_COPY_ALLOWED);
  });
  if (!moved) ThrowLastError();
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
