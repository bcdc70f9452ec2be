// Reading archives: listing, and unpacking through a fixed buffer.
#include <algorithm>
#include <cstring>

#include "archive.h"
#include "archive_format.h"
#include "support/text.h"

namespace {

// Reads an archive through one buffer; every shortfall means the archive was cut off.
class ArchiveReader {
 public:
  ArchiveReader(const std::string& path, ArchiveKind kind) : path_(path), buffer_(kArchiveBufferSize) {
    file_.Reset(CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file_) FailWin32("Cannot open", path);
    char magic[8];
    if (Fill(magic, sizeof magic) != sizeof magic || memcmp(magic, MagicOf(kind), kMagicSize) != 0)
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
