// Writing archives: one pass over each file's bytes through a fixed buffer.
#include <algorithm>
#include <cstring>

#include "archive.h"
#include "archive_format.h"
#include "support/text.h"

namespace {

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

}  // namespace

ArchiveWriter::ArchiveWriter(const std::string& archivePath, ArchiveKind kind)
    : path_(FullPath(archivePath)), buffer_(kArchiveBufferSize) {
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
  CheckEntryName(name, ArchiveFault::Failed);
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
  CheckEntryName(name, ArchiveFault::Failed);
  EnsureParents(name);
  WriteEntryHeader('F', name, stamp.readOnly);
  uint64_t lastWrite = stamp.lastWrite != 0 ? stamp.lastWrite : CurrentFileTime();
  Write(&lastWrite, sizeof lastWrite);
  Write(&size, sizeof size);
  Crc32 checksum;
  for (uint64_t offset = 0; offset < size;) {
    if (used_ == buffer_.size()) Flush();
    size_t chunk = static_cast<size_t>(std::min<uint64_t>(size - offset, buffer_.size() - used_));
    fill(offset, buffer_.data() + used_, chunk);
    checksum.Update(buffer_.data() + used_, chunk);
    used_ += chunk;
    offset += chunk;
  }
  uint32_t value = checksum.Value();
  Write(&value, sizeof value);
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
