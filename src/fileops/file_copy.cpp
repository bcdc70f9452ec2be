// Copies of files and folder trees, also as second names of the files, and a
// file's move, which onto another drive is a copy: each keeps the window
// answering through its pulse.
#include <windows.h>

#include <exception>
#include <vector>

#include "fileops/file_system.h"
#include "fileops/win32_file.h"
#include "support/handles.h"
#include "support/runtime_error.h"
#include "support/text.h"

using namespace Win32File;

namespace {

void CreateOneFolder(const std::wstring& path) {
  if (!CreateDirectoryW(path.c_str(), nullptr)) ThrowLastError();
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
// The chunks are small: under Wine a read and a write of 64 KB each copy
// a game archive about ten times as fast as chunks of 4 MB do, and as fast as
// CopyFileEx itself.
constexpr uint64_t kChunkedCopyFromBytes = 16u << 20;
constexpr DWORD kChunkBytes = 64u << 10;

// A new file is made as new, not truncated: a file truncated to nothing is
// written back to the disk as a whole as soon as it is closed (ext4 does so,
// to keep a replaced file safe), and under Wine that close holds the server
// and with it every window for a quarter of a second per big archive.
UniqueFile CreateCopyTarget(const std::wstring& to, bool overwrite) {
  auto create = [&](DWORD disposition) {
    return UniqueFile(CreateFileW(to.c_str(), GENERIC_WRITE, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
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

// A file already at the destination is replaced, as a copy replaces it: its
// name goes and the link takes it; one that will not go is left to the copy.
// Errors that say nothing about links (a source gone, say) are left to the
// copy to report as well.
bool LinkOrCopy(const std::wstring& from, const std::wstring& to, DWORD attributes, bool overwrite,
                FileSystem::LinkedCopy& links, const FileSystem::Pulse& pulse) {
  if (links.linksAllowed && links.refusal == 0 && !(attributes & FILE_ATTRIBUTE_READONLY)) {
    auto linked = [&] {
      if (links.linkedNames) links.linkedNames->insert({NameKey(Narrow(from)), NameKey(Narrow(to))});
      return true;
    };
    if (CreateHardLinkW(to.c_str(), from.c_str(), nullptr)) return linked();
    DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS) {
      if (overwrite && DeleteFileW(to.c_str()) && CreateHardLinkW(to.c_str(), from.c_str(), nullptr)) return linked();
    } else if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
      links.refusal = error;
    }
  }
  return CopyOne(from, to, overwrite, pulse);
}

bool MadeEmpty(const FileSystem::LinkedCopy* links, const std::wstring& relative) {
  if (!links) return false;
  std::string name = Narrow(relative);
  for (const std::string& empty : links->madeEmpty)
    if (EqualsIgnoreCase(empty, name)) return true;
  return false;
}

// links: nothing for a copy of the bytes. relative: where source lies below
// the folder copied ("" at its top).
void CopyTree(const std::wstring& source, const std::wstring& destination, const std::wstring& relative,
              bool overwrite, FileSystem::LinkedCopy* links, const FileSystem::Pulse& pulse) {
  if (!IsFolder(Attributes(destination))) CreateOneFolder(destination);
  ForEachEntry(source, [&](const std::wstring& name, const WIN32_FIND_DATAW& found) {
    if (pulse) pulse();
    std::wstring from = source + L"\\" + name;
    std::wstring to = destination + L"\\" + name;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      std::wstring below = relative.empty() ? name : relative + L"\\" + name;
      if (!MadeEmpty(links, below)) {
        CopyTree(from, to, below, overwrite, links, pulse);
      } else if (!IsFolder(Attributes(to))) {
        CreateOneFolder(to);
      }
    } else if (links ? !LinkOrCopy(from, to, found.dwFileAttributes, overwrite, *links, pulse)
                     : !CopyOne(from, to, overwrite, pulse)) {
      ThrowLastError();
    }
  });
}

uint32_t NameCountOf(const std::wstring& path) {
  UniqueFile file(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  return file && GetFileInformationByHandle(file.Get(), &info) ? info.nNumberOfLinks : 0;
}

// A copy cut off half-way leaves the temporary name behind, which the next
// copy replaces; the name itself always holds a whole file.
void GiveOwnFile(const std::wstring& path, bool knownShared) {
  // A folder's count of names is its count of subfolders to Linux, and so to Wine.
  if (IsFolder(Attributes(path)) || (!knownShared && NameCountOf(path) <= 1)) return;
  std::wstring own = path + L".zem7own";
  if (!CopyOne(path, own, true, {})) ThrowLastError();
  if (!Retried([&] { return MoveFileExW(own.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING); })) {
    DWORD error = GetLastError();
    DeleteFileW(own.c_str());
    ThrowWin32Error(error);
  }
}

}  // namespace

namespace FileSystem {

void CopyFolder(const std::string& source, const std::string& destination, bool overwrite, const Pulse& pulse) {
  std::wstring from = Widen(source);
  if (!IsFolder(Attributes(from))) ThrowWin32Error(ERROR_PATH_NOT_FOUND);
  CopyTree(from, ResolveDestination(from, Widen(destination)), L"", overwrite, nullptr, pulse);
}

void CopyFolderAsLinks(const std::string& source, const std::string& destination, bool overwrite, LinkedCopy& links,
                       const Pulse& pulse) {
  std::wstring from = Widen(source);
  if (!IsFolder(Attributes(from))) ThrowWin32Error(ERROR_PATH_NOT_FOUND);
  CopyTree(from, ResolveDestination(from, Widen(destination)), L"", overwrite, &links, pulse);
}

uint32_t NameCount(const std::string& file) { return NameCountOf(Widen(file)); }

void MakeFileOfItsOwn(const std::string& file, bool knownShared) { GiveOwnFile(Widen(file), knownShared); }

void MakeFilesOfTheirOwn(const std::string& folder, const Pulse& pulse, const KnownShared& knownShared, bool deep) {
  auto giveOwn = [&](const std::wstring& path, const WIN32_FIND_DATAW& found) {
    if (!IsLinkAttributes(found.dwFileAttributes)) GiveOwnFile(path, knownShared && knownShared(Narrow(path)));
    return true;
  };
  if (deep) {
    ForEachFile(Widen(folder), pulse, giveOwn);
    return;
  }
  std::wstring top = Widen(folder);
  ForEachEntry(top, [&](const std::wstring& name, const WIN32_FIND_DATAW& found) {
    if (pulse) pulse();
    if (!IsFolder(found.dwFileAttributes)) giveOwn(top + L"\\" + name, found);
  });
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

}  // namespace FileSystem
