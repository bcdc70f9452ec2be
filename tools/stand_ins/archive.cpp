#include "archive.h"

#include <algorithm>
#include <cstring>

#include "support/runtime_error.h"
#include "support/text.h"

// Layout: 8 bytes of magic, then records. A record is a type byte ('D' folder,
// 'F' file, 'E' end), a flags byte (bit 0: read-only), a 16-bit name length
// and the UTF-8 name. A file record goes on with its 64-bit last-write time,
// its 64-bit size and the bytes. The end record holds the number of entries,
// so a cut-off archive never passes for a complete one. Little-endian, as the
// only machines that run this are.

namespace {

constexpr size_t kBufferSize = 1 << 20;
constexpr char kRarMagic[8] = {'Z', 'E', 'M', '7', 'R', 'A', 'R', '\x1a'};
constexpr char kBfsMagic[8] = {'Z', 'E', 'M', '7', 'B', 'F', 'S', '\x1a'};
constexpr uint8_t kReadOnlyFlag = 1;

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

std::vector<WIN32_FIND_DATAW> ListChildren(const std::string& folder) {
  std::vector<WIN32_FIND_DATAW> children;
  WIN32_FIND_DATAW data;
  UniqueFind find(FindFirstFileExW(Widen(JoinPath(folder, "*")).c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                   nullptr, FIND_FIRST_EX_LARGE_FETCH));
  if (!find) FailWin32("Cannot list", folder);
  do {
    if (wcscmp(data.cFileName, L".") != 0 && wcscmp(data.cFileName, L"..") != 0) children.push_back(data);
  } while (FindNextFileW(find.Get(), &data));
  // A fixed order makes two packs of the same tree byte-identical.
  std::sort(children.begin(), children.end(),
            [](const WIN32_FIND_DATAW& a, const WIN32_FIND_DATAW& b) { return wcscmp(a.cFileName, b.cFileName) < 0; });
  return children;
}

// Reads an archive through one buffer; every shortfall means the archive was cut off.
class ArchiveReader {
 public:
  ArchiveReader(const std::string& path, ArchiveKind kind) : path_(path), buffer_(kBufferSize) {
    file_.Reset(CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file_) FailWin32("Cannot open", path);
    char magic[8];
    if (Fill(magic, sizeof magic) != sizeof magic || memcmp(magic, MagicOf(kind), sizeof magic) != 0)
      throw ArchiveError("\"" + path + "\" is not a " + KindName(kind) + " archive");
  }

  // The next entry's header, or false at the end record.
  bool Next(ArchiveEntry& entry) {
    if (pendingData_ != 0) Skip(pendingData_);
    uint8_t head[4];
    ReadExact(head, sizeof head);
    uint16_t nameLength = static_cast<uint16_t>(head[2] | (head[3] << 8));
    if (head[0] == 'E') {
      uint64_t count = ReadU64();
      if (count != entriesSeen_) throw ArchiveError("\"" + path_ + "\" has a damaged entry count");
      return false;
    }
    if (head[0] != 'D' && head[0] != 'F') throw ArchiveError("\"" + path_ + "\" has a damaged entry");
    entry = ArchiveEntry{};
    entry.name.resize(nameLength);
    ReadExact(entry.name.data(), nameLength);
    CheckEntryName(entry.name);
    entry.isFolder = head[0] == 'D';
    entry.readOnly = (head[1] & kReadOnlyFlag) != 0;
    if (!entry.isFolder) {
      entry.lastWrite = ReadU64();
      entry.size = ReadU64();
    }
    pendingData_ = entry.size;
    ++entriesSeen_;
    return true;
  }

  // Streams the current file entry's bytes into `target`.
  void CopyData(HANDLE target, const std::string& targetPath) {
    while (pendingData_ != 0) {
      if (begin_ == end_ && !Refill()) FailIncomplete();
      size_t chunk = static_cast<size_t>(std::min<uint64_t>(pendingData_, end_ - begin_));
      DWORD written = 0;
      if (!WriteFile(target, buffer_.data() + begin_, static_cast<DWORD>(chunk), &written, nullptr) || written != chunk)
        FailWin32("Cannot write", targetPath);
      begin_ += chunk;
      pendingData_ -= chunk;
    }
  }

 private:
  // False at the end of the file.
  bool Refill() {
    DWORD got = 0;
    if (!ReadFile(file_.Get(), buffer_.data(), static_cast<DWORD>(buffer_.size()), &got, nullptr))
      FailWin32("Cannot read", path_);
    begin_ = 0;
    end_ = got;
    return got != 0;
  }

  [[noreturn]] void FailIncomplete() { throw ArchiveError("\"" + path_ + "\" is incomplete"); }

  // Copies up to `length` bytes; fewer only at the end of the file.
  size_t Fill(void* data, size_t length) {
    size_t copied = 0;
    while (copied < length) {
      if (begin_ == end_ && !Refill()) break;
      size_t chunk = std::min(length - copied, end_ - begin_);
      memcpy(static_cast<char*>(data) + copied, buffer_.data() + begin_, chunk);
      begin_ += chunk;
      copied += chunk;
    }
    return copied;
  }

  void ReadExact(void* data, size_t length) {
    if (Fill(data, length) != length) FailIncomplete();
  }

  uint64_t ReadU64() {
    uint64_t value = 0;
    ReadExact(&value, sizeof value);
    return value;
  }

  void Skip(uint64_t length) {
    pendingData_ = 0;
    uint64_t buffered = std::min<uint64_t>(length, end_ - begin_);
    begin_ += buffered;
    length -= buffered;
    if (length == 0) return;
    // Seeking past the end succeeds silently; the next read then reports the cut.
    LARGE_INTEGER distance;
    distance.QuadPart = static_cast<LONGLONG>(length);
    if (!SetFilePointerEx(file_.Get(), distance, nullptr, FILE_CURRENT)) FailWin32("Cannot read", path_);
  }

  UniqueFile file_;
  std::string path_;
  std::vector<char> buffer_;
  size_t begin_ = 0;
  size_t end_ = 0;
  uint64_t pendingData_ = 0;
  uint64_t entriesSeen_ = 0;
};

void UnpackFile(ArchiveReader& reader, const ArchiveEntry& entry, const std::string& path) {
  std::wstring widePath = Widen(path);
  DWORD attributes = GetFileAttributesW(widePath.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
    SetFileAttributesW(widePath.c_str(), FILE_ATTRIBUTE_NORMAL);
  {
    UniqueFile file(
        CreateFileW(widePath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) FailWin32("Cannot create", path);
    reader.CopyData(file.Get(), path);
    FILETIME lastWrite = ToFileTime(entry.lastWrite);
    if (!SetFileTime(file.Get(), nullptr, nullptr, &lastWrite)) FailWin32("Cannot set the time of", path);
  }
  if (entry.readOnly && !SetFileAttributesW(widePath.c_str(), FILE_ATTRIBUTE_READONLY))
    FailWin32("Cannot set the attributes of", path);
}

}  // namespace

ArchiveWriter::ArchiveWriter(const std::string& archivePath, ArchiveKind kind)
    : path_(FullPath(archivePath)), buffer_(kBufferSize) {
  std::wstring widePath = Widen(path_);
  SetFileAttributesW(widePath.c_str(), FILE_ATTRIBUTE_NORMAL);
  file_.Reset(CreateFileW(widePath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file_) FailWin32("Cannot create", path_);
  Write(MagicOf(kind), 8);
}

ArchiveWriter::~ArchiveWriter() {
  // An unfinished archive keeps what reached the disk and no end record.
  if (!finished_) {
    try {
      Flush();
    } catch (const ArchiveError&) {
    }
  }
}

void ArchiveWriter::AddFolder(const std::string& name) {
  CheckEntryName(name);
  EnsureParents(name);
  if (folders_.insert(name).second) WriteEntryHeader('D', name, false);
}

void ArchiveWriter::AddFile(const std::string& name, const std::string& sourcePath) {
  std::wstring wideSource = Widen(sourcePath);
  UniqueFile source(CreateFileW(wideSource.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!source) FailWin32("Cannot open", sourcePath);
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(source.Get(), &info)) FailWin32("Cannot read", sourcePath);
  uint64_t size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  EntryStamp stamp{FromFileTime(info.ftLastWriteTime), (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0};
  AddGenerated(
      name, size,
      [&](uint64_t, char* data, size_t length) {
        size_t copied = 0;
        while (copied < length) {
          DWORD got = 0;
          if (!ReadFile(source.Get(), data + copied, static_cast<DWORD>(length - copied), &got, nullptr))
            FailWin32("Cannot read", sourcePath);
          if (got == 0) throw ArchiveError("\"" + sourcePath + "\" shrank while it was packed");
          copied += got;
        }
      },
      stamp);
}

void ArchiveWriter::AddGenerated(const std::string& name, uint64_t size, const Filler& fill, EntryStamp stamp) {
  CheckEntryName(name);
  EnsureParents(name);
  WriteEntryHeader('F', name, stamp.readOnly);
  uint64_t lastWrite = stamp.lastWrite != 0 ? stamp.lastWrite : CurrentFileTime();
  Write(&lastWrite, sizeof lastWrite);
  Write(&size, sizeof size);
  for (uint64_t offset = 0; offset < size;) {
    if (used_ == buffer_.size()) Flush();
    size_t chunk = static_cast<size_t>(std::min<uint64_t>(size - offset, buffer_.size() - used_));
    fill(offset, buffer_.data() + used_, chunk);
    used_ += chunk;
    offset += chunk;
  }
}

void ArchiveWriter::AddText(const std::string& name, std::string_view content, EntryStamp stamp) {
  AddGenerated(
      name, content.size(),
      [content](uint64_t offset, char* data, size_t length) { memcpy(data, content.data() + offset, length); }, stamp);
}

void ArchiveWriter::AddTree(const std::string& folder, const std::string& prefix) {
  for (const WIN32_FIND_DATAW& child : ListChildren(folder)) {
    std::string childName = Narrow(child.cFileName);
    std::string path = JoinPath(folder, childName);
    std::string name = prefix.empty() ? childName : prefix + "\\" + childName;
    if (child.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      AddFolder(name);
      AddTree(path, name);
    } else if (!EqualsIgnoreCase(FullPath(path), path_)) {  // never the archive being written
      AddFile(name, path);
    }
  }
}

void ArchiveWriter::Finish() {
  uint64_t count = entryCount_;
  WriteEntryHeader('E', "", false);
  Write(&count, sizeof count);
  Flush();
  file_.Reset();
  finished_ = true;
}

void ArchiveWriter::WriteEntryHeader(char type, const std::string& name, bool readOnly) {
  if (name.size() > 0xFFFF) throw ArchiveError("Entry name too long: " + name);
  uint8_t head[4] = {static_cast<uint8_t>(type), static_cast<uint8_t>(readOnly ? kReadOnlyFlag : 0),
                     static_cast<uint8_t>(name.size() & 0xFF), static_cast<uint8_t>(name.size() >> 8)};
  Write(head, sizeof head);
  Write(name.data(), name.size());
  if (type != 'E') ++entryCount_;
}

void ArchiveWriter::EnsureParents(const std::string& name) {
  for (size_t slash = name.find('\\'); slash != std::string::npos; slash = name.find('\\', slash + 1)) {
    std::string parent = name.substr(0, slash);
    if (folders_.insert(parent).second) WriteEntryHeader('D', parent, false);
  }
}

void ArchiveWriter::Write(const void* data, size_t length) {
  const char* bytes = static_cast<const char*>(data);
  while (length != 0) {
    if (used_ == buffer_.size()) Flush();
    size_t chunk = std::min(length, buffer_.size() - used_);
    memcpy(buffer_.data() + used_, bytes, chunk);
    used_ += chunk;
    bytes += chunk;
    length -= chunk;
  }
}

void ArchiveWriter::Flush() {
  DWORD written = 0;
  if (used_ != 0 &&
      (!WriteFile(file_.Get(), buffer_.data(), static_cast<DWORD>(used_), &written, nullptr) || written != used_))
    FailWin32("Cannot write", path_);
  used_ = 0;
}

void PackFolder(const std::string& folder, const std::string& archivePath, ArchiveKind kind,
                const std::string& prefix) {
  if (!PathIsFolder(folder)) throw ArchiveError("No folder \"" + folder + "\" to pack");
  ArchiveWriter writer(archivePath, kind);
  writer.AddTree(folder, prefix);
  writer.Finish();
}

std::vector<ArchiveEntry> ListArchive(const std::string& archivePath, ArchiveKind kind) {
  ArchiveReader reader(archivePath, kind);
  std::vector<ArchiveEntry> entries;
  ArchiveEntry entry;
  while (reader.Next(entry)) entries.push_back(entry);
  return entries;
}

void UnpackArchive(const std::string& archivePath, ArchiveKind kind, const std::string& destination,
                   const std::function<void(const ArchiveEntry&)>& onEntry) {
  ArchiveReader reader(archivePath, kind);
  CreateFolders(destination);
  ArchiveEntry entry;
  while (reader.Next(entry)) {
    if (onEntry) onEntry(entry);
    std::string path = JoinPath(destination, entry.name);
    if (entry.isFolder) {
      CreateFolders(path);
    } else {
      CreateFolders(path.substr(0, path.rfind('\\')));
      UnpackFile(reader, entry, path);
    }
  }
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
