// Reading archives: listing, testing and unpacking through a fixed buffer.
#include <algorithm>
#include <cstring>
#include <utility>

#include "archive.h"
#include "archive_format.h"
#include "support/text.h"

namespace {

// Reads an archive through one buffer; every shortfall means the archive was cut off.
// A file's bytes are either read, and then checked against their checksum, or skipped unread.
class ArchiveReader {
 public:
  ArchiveReader(const std::string& path, ArchiveKind kind) : path_(path), buffer_(kArchiveBufferSize) {
    file_.Reset(CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file_) FailWin32("Cannot open", path, ArchiveFault::CannotOpen);
    char magic[kMagicSize];
    if (Fill(magic, sizeof magic) != sizeof magic || memcmp(magic, MagicOf(kind), kMagicSize) != 0)
      FailDamaged("is not a " + std::string(KindName(kind)) + " archive");
  }

  // The next entry's header, or false at the end record.
  bool Next(ArchiveEntry& entry) {
    if (dataPending_) Skip(pendingData_ + kChecksumSize);
    uint8_t head[4];
    ReadExact(head, sizeof head);
    uint16_t nameLength = static_cast<uint16_t>(head[2] | (head[3] << 8));
    if (head[0] == 'E') {
      uint64_t count = ReadU64();
      if (count != entriesSeen_) FailDamaged("has a damaged entry count");
      return false;
    }
    if (head[0] != 'D' && head[0] != 'F') FailDamaged("has a damaged entry");
    entry = ArchiveEntry{};
    entry.name.resize(nameLength);
    ReadExact(entry.name.data(), nameLength);
    CheckEntryName(entry.name, ArchiveFault::Damaged);
    entry.isFolder = head[0] == 'D';
    entry.readOnly = (head[1] & kReadOnlyFlag) != 0;
    if (!entry.isFolder) {
      entry.lastWrite = ReadU64();
      entry.size = ReadU64();
    }
    pendingData_ = entry.size;
    dataPending_ = !entry.isFolder;
    entryName_ = entry.name;
    ++entriesSeen_;
    return true;
  }

  using Sink = std::function<void(const char* data, size_t length)>;

  // Streams the current file entry's bytes into `sink` (when there is one),
  // then checks them against the checksum that follows them.
  void ReadData(const Sink& sink) {
    Crc32 checksum;
    while (pendingData_ != 0) {
      if (begin_ == end_ && !Refill()) FailIncomplete();
      size_t chunk = static_cast<size_t>(std::min<uint64_t>(pendingData_, end_ - begin_));
      checksum.Update(buffer_.data() + begin_, chunk);
      if (sink) sink(buffer_.data() + begin_, chunk);
      begin_ += chunk;
      pendingData_ -= chunk;
    }
    dataPending_ = false;
    uint32_t stored = 0;
    ReadExact(&stored, sizeof stored);
    if (stored != checksum.Value()) FailDamaged("has a checksum error in \"" + entryName_ + "\"");
  }

  // Where the next unread byte lies in the archive file.
  uint64_t Offset() const { return fileOffset_ - (end_ - begin_); }

 private:
  // False at the end of the file.
  bool Refill() {
    DWORD got = 0;
    if (!ReadFile(file_.Get(), buffer_.data(), static_cast<DWORD>(buffer_.size()), &got, nullptr))
      FailWin32("Cannot read", path_);
    begin_ = 0;
    end_ = got;
    fileOffset_ += got;
    return got != 0;
  }

  [[noreturn]] void FailDamaged(const std::string& what) {
    throw ArchiveError("\"" + path_ + "\" " + what, ArchiveFault::Damaged);
  }

  [[noreturn]] void FailIncomplete() { FailDamaged("is incomplete"); }

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
    dataPending_ = false;
    uint64_t buffered = std::min<uint64_t>(length, end_ - begin_);
    begin_ += buffered;
    length -= buffered;
    if (length == 0) return;
    // Seeking past the end succeeds silently; the next read then reports the cut.
    LARGE_INTEGER distance;
    distance.QuadPart = static_cast<LONGLONG>(length);
    if (!SetFilePointerEx(file_.Get(), distance, nullptr, FILE_CURRENT)) FailWin32("Cannot read", path_);
    fileOffset_ += length;
  }

  UniqueFile file_;
  std::string path_;
  std::vector<char> buffer_;
  size_t begin_ = 0;
  size_t end_ = 0;
  uint64_t fileOffset_ = 0;  // of the buffer's end
  uint64_t pendingData_ = 0;
  bool dataPending_ = false;  // the current file's bytes and checksum are still unread
  std::string entryName_;
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
    try {
      reader.ReadData([&](const char* data, size_t length) {
        DWORD written = 0;
        if (!WriteFile(file.Get(), data, static_cast<DWORD>(length), &written, nullptr) || written != length)
          FailWin32("Cannot write", path);
      });
    } catch (const ArchiveError&) {
      // Bytes that failed their checksum must not pass for the file.
      file.Reset();
      DeleteFileW(widePath.c_str());
      throw;
    }
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

void TestArchive(const std::string& archivePath, ArchiveKind kind,
                 const std::function<void(const ArchiveEntry&)>& onTested) {
  ArchiveReader reader(archivePath, kind);
  ArchiveEntry entry;
  while (reader.Next(entry)) {
    if (!entry.isFolder) reader.ReadData({});
    if (onTested) onTested(entry);
  }
}

namespace {

// Where the bytes of the first file that has any lie: (offset, size).
std::pair<uint64_t, uint64_t> FirstFileData(const std::string& archivePath, ArchiveKind kind) {
  ArchiveReader reader(archivePath, kind);
  ArchiveEntry entry;
  while (reader.Next(entry))
    if (!entry.isFolder && entry.size != 0) return {reader.Offset(), entry.size};
  throw ArchiveError("\"" + archivePath + "\" holds no file bytes to damage");
}

}  // namespace

// Inverts up to four adjacent bytes in the middle of the data: CRC-32 catches
// every change within 32 adjacent bits, so the damage is always found.
void DamageArchiveData(const std::string& archivePath, ArchiveKind kind) {
  auto [offset, size] = FirstFileData(archivePath, kind);
  std::string bytes(static_cast<size_t>(std::min<uint64_t>(size, 4)), '\0');
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(offset + (size - bytes.size()) / 2);
  UniqueFile file(CreateFileW(Widen(archivePath).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) FailWin32("Cannot open", archivePath, ArchiveFault::CannotOpen);
  DWORD length = static_cast<DWORD>(bytes.size());
  DWORD done = 0;
  if (!SetFilePointerEx(file.Get(), at, nullptr, FILE_BEGIN) ||
      !ReadFile(file.Get(), bytes.data(), length, &done, nullptr) || done != length)
    FailWin32("Cannot read", archivePath);
  for (char& value : bytes) value = static_cast<char>(~value);
  if (!SetFilePointerEx(file.Get(), at, nullptr, FILE_BEGIN) ||
      !WriteFile(file.Get(), bytes.data(), length, &done, nullptr) || done != length)
    FailWin32("Cannot write", archivePath);
}
