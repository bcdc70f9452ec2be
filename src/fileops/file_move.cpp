// A file's move that never leaves part of a file under its final name:
// within a volume a rename, onto another volume a copy under a temporary
// name that takes the final name whole before the source goes.
#include <windows.h>

#include <vector>

#include "fileops/file_system.h"
#include "fileops/win32_file.h"
#include "support/handles.h"
#include "support/runtime_error.h"
#include "support/text.h"

using namespace Win32File;

namespace {

constexpr const char* kTemporarySuffix = ".zem7move";
// Small chunks, as the chunked copy uses them: under Wine they copy fastest.
constexpr DWORD kChunkBytes = 64u << 10;
// What a copy keeps of the source's attributes; the rest (compressed, sparse,
// encrypted) the file system decides and refuses to be told.
constexpr DWORD kCopiedAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                    FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// The system's reason alone does not say which file, or which step, failed:
// doing names them, the reason first (%1).
[[noreturn]] void ThrowDoing(DWORD error, TextId doing, std::vector<Message> items) {
  items.insert(items.begin(), Message::SystemError(error));
  throw RuntimeError(static_cast<int32_t>(error), Message(doing, std::move(items)));
}

LARGE_INTEGER AsLargeInteger(const FILETIME& time) {
  LARGE_INTEGER value;
  value.LowPart = time.dwLowDateTime;
  value.HighPart = static_cast<LONG>(time.dwHighDateTime);
  return value;
}

// Times of 0 in the request are left as they are.
bool SetFacts(HANDLE file, DWORD attributes, const BY_HANDLE_FILE_INFORMATION* times) {
  FILE_BASIC_INFO basic{};
  if (times) {
    basic.CreationTime = AsLargeInteger(times->ftCreationTime);
    basic.LastAccessTime = AsLargeInteger(times->ftLastAccessTime);
    basic.LastWriteTime = AsLargeInteger(times->ftLastWriteTime);
  }
  attributes &= kCopiedAttributes;
  basic.FileAttributes = attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
  return SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic) != FALSE;
}

// The source is held from its first byte read until it is deleted, sharing
// only reading: nobody changes, renames or deletes it in between, so what
// goes is what was copied. A link is opened as itself, never followed.
UniqueFile OpenSource(const std::wstring& path) {
  UniqueFile source;
  Retried([&] {
    source =
        UniqueFile(CreateFileW(path.c_str(), GENERIC_READ | DELETE | FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    return static_cast<bool>(source);
  });
  return source;
}

// The temporary name only ever holds a copy on its way, left by a run cut
// off before its rename: it goes, read-only or not.
void RemoveStale(const std::wstring& temporary, const std::string& name) {
  SetFileAttributesW(temporary.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (DeleteFileW(temporary.c_str())) return;
  DWORD error = GetLastError();
  if (error != ERROR_FILE_NOT_FOUND) ThrowDoing(error, IDS_FAILED_DELETING_STALE, {name});
}

bool CopyBytes(HANDLE from, HANDLE to) {
  std::vector<char> buffer(kChunkBytes);
  for (;;) {
    DWORD read = 0, written = 0;
    if (!ReadFile(from, buffer.data(), kChunkBytes, &read, nullptr)) return false;
    if (read == 0) return true;
    if (!WriteFile(to, buffer.data(), read, &written, nullptr)) return false;
  }
}

// The copy under the temporary name until it takes the final one; whatever
// ends the move before that takes the copy away with it.
class TemporaryCopy {
 public:
  TemporaryCopy(std::wstring path, std::string name) : path_(std::move(path)), name_(std::move(name)) {}
  ~TemporaryCopy() {
    if (placed_) return;
    file_.Reset();
    SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(path_.c_str());
  }
  TemporaryCopy(const TemporaryCopy&) = delete;
  TemporaryCopy& operator=(const TemporaryCopy&) = delete;

  // The bytes, times and attributes of source, on the disk before this returns.
  void Write(HANDLE source, const BY_HANDLE_FILE_INFORMATION& info, const std::string& from) {
    file_ =
        UniqueFile(CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file_ || !CopyBytes(source, file_.Get()) || !SetFacts(file_.Get(), info.dwFileAttributes, &info) ||
        !FlushFileBuffers(file_.Get())) {
      DWORD error = GetLastError();
      ThrowDoing(error, IDS_FAILED_COPYING, {from, name_});
    }
    file_.Reset();
  }

  void Place(const std::wstring& destination, bool replace, const std::string& to) {
    DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    if (!Retried([&] { return MoveFileExW(path_.c_str(), destination.c_str(), flags) != FALSE; })) {
      DWORD error = GetLastError();
      ThrowDoing(error, IDS_FAILED_RENAMING, {name_, to});
    }
    placed_ = true;
  }

 private:
  std::wstring path_;
  std::string name_;
  UniqueFile file_;
  bool placed_ = false;
};

// A read-only file cannot be marked for deletion: its attribute goes first,
// through the same handle. The attribute is the file's, not the name's: a
// file that keeps other names, or that cannot go, gets it back.
bool DeleteThrough(HANDLE file, const BY_HANDLE_FILE_INFORMATION& info) {
  bool readOnly = info.dwFileAttributes & FILE_ATTRIBUTE_READONLY;
  if (readOnly && !SetFacts(file, info.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY, nullptr)) return false;
  FILE_DISPOSITION_INFO dispose{TRUE};
  bool marked = SetFileInformationByHandle(file, FileDispositionInfo, &dispose, sizeof dispose) != FALSE;
  DWORD error = GetLastError();
  if (readOnly && (!marked || info.nNumberOfLinks > 1)) SetFacts(file, info.dwFileAttributes, nullptr);
  SetLastError(error);
  return marked;
}

}  // namespace

namespace FileSystem {

void MoveFileWhole(const std::string& from, const std::string& to, bool replace) {
  std::wstring source = Widen(from), destination = Widen(to);
  DWORD flags = replace ? MOVEFILE_REPLACE_EXISTING : 0;
  if (Retried([&] { return MoveFileExW(source.c_str(), destination.c_str(), flags) != FALSE; })) return;
  DWORD error = GetLastError();
  if (error != ERROR_NOT_SAME_DEVICE) ThrowDoing(error, IDS_FAILED_MOVING, {from, to});
  MoveFileByCopy(from, to, replace);
}

void MoveFileByCopy(const std::string& from, const std::string& to, bool replace) {
  std::wstring destination = Widen(to);
  // Refused before the copy, not after it: the rename would refuse it anyway.
  if (!replace && Attributes(destination) != INVALID_FILE_ATTRIBUTES)
    ThrowDoing(ERROR_ALREADY_EXISTS, IDS_FAILED_MOVING, {from, to});
  UniqueFile source = OpenSource(Widen(from));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!source || !GetFileInformationByHandle(source.Get(), &info)) {
    DWORD error = GetLastError();
    ThrowDoing(error, IDS_FAILED_OPENING, {from});
  }
  // A link's copy would be what it names, and a folder is no file to copy.
  if (IsLinkAttributes(info.dwFileAttributes) || IsFolder(info.dwFileAttributes))
    ThrowDoing(ERROR_NOT_SAME_DEVICE, IDS_FAILED_MOVING, {from, to});
  std::string temporaryName = to + kTemporarySuffix;
  std::wstring temporary = Widen(temporaryName);
  RemoveStale(temporary, temporaryName);
  TemporaryCopy copy(temporary, temporaryName);
  copy.Write(source.Get(), info, from);
  copy.Place(destination, replace, to);
  if (!DeleteThrough(source.Get(), info)) {
    DWORD error = GetLastError();
    ThrowDoing(error, IDS_FAILED_DELETING_AFTER_COPY, {from, to});
  }
}

}  // namespace FileSystem
