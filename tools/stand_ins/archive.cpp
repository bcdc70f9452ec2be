#include "archive.h"

#include <algorithm>

#include "archive_format.h"
#include "support/runtime_error.h"
#include "support/text.h"

namespace {

constexpr char kRarMagic[kMagicSize] = {'Z', 'E', 'M', '7', 'R', 'A', 'R', '\x1a'};
constexpr char kBfsMagic[kMagicSize] = {'Z', 'E', 'M', '7', 'B', 'F', 'S', '\x1a'};

}  // namespace

const char* MagicOf(ArchiveKind kind) { return kind == ArchiveKind::Rar ? kRarMagic : kBfsMagic; }
const char* KindName(ArchiveKind kind) { return kind == ArchiveKind::Rar ? "RAR" : "BFS"; }

[[noreturn]] void FailWin32(const std::string& action, const std::string& path) {
  DWORD code = GetLastError();
  throw ArchiveError(action + " \"" + path + "\": " + SystemMessage(code));
}

// Names are relative paths below the unpack folder: nothing may climb out of it.
void CheckEntryName(const std::string& name) {
  bool bad = name.empty() || name.front() == '\\' || name.back() == '\\' ||
             name.find_first_of("/:") != std::string::npos || name.find("\\\\") != std::string::npos;
  size_t start = 0;
  while (!bad && start <= name.size()) {
    size_t end = std::min(name.find('\\', start), name.size());
    std::string_view part(name.data() + start, end - start);
    bad = part == "." || part == "..";
    start = end + 1;
  }
  if (bad) throw ArchiveError("Invalid entry name \"" + name + "\"");
}

uint64_t FromFileTime(const FILETIME& time) {
  return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

FILETIME ToFileTime(uint64_t ticks) {
  return FILETIME{static_cast<DWORD>(ticks & 0xFFFFFFFFu), static_cast<DWORD>(ticks >> 32)};
}

std::string FullPath(const std::string& path) {
  std::wstring wide = Widen(path);
  DWORD length = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (length == 0) return path;
  std::wstring full(length, L'\0');
  length = GetFullPathNameW(wide.c_str(), length, full.data(), nullptr);
  full.resize(length);
  return Narrow(full);
}

std::string JoinPath(const std::string& folder, const std::string& relative) {
  if (folder.empty()) return relative;
  return folder.back() == '\\' ? folder + relative : folder + "\\" + relative;
}

bool PathIsFolder(const std::string& path) {
  DWORD attributes = GetFileAttributesW(Widen(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool PathIsFile(const std::string& path) {
  DWORD attributes = GetFileAttributesW(Widen(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void CreateFolders(const std::string& path) {
  if (path.empty() || PathIsFolder(path)) return;
  size_t slash = path.find_last_of('\\');
  if (slash != std::string::npos && slash > 0) CreateFolders(path.substr(0, slash));
  if (!CreateDirectoryW(Widen(path).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
    FailWin32("Cannot create the folder", path);
}

uint64_t CurrentFileTime() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return FromFileTime(now);
}
