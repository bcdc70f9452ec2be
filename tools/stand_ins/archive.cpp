#include "archive.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "archive_format.h"
#include "support/runtime_error.h"
#include "support/text.h"

namespace {

constexpr char kRarMagic[kMagicSize] = {'Z', 'E', 'M', '7', 'R', 'A', 'R', '\x1a'};
constexpr char kBfsMagic[kMagicSize] = {'Z', 'E', 'M', '7', 'B', 'F', 'S', '\x1a'};

// Table k holds the CRC of a byte followed by k zero bytes, so that eight
// bytes fold in with eight independent lookups.
using CrcTables = std::array<std::array<uint32_t, 256>, 8>;

constexpr CrcTables MakeCrcTables() {
  CrcTables tables{};
  for (uint32_t byte = 0; byte < 256; ++byte) {
    uint32_t crc = byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ ((crc & 1) ? 0xEDB88320u : 0);
    tables[0][byte] = crc;
  }
  for (size_t slice = 1; slice < tables.size(); ++slice)
    for (uint32_t byte = 0; byte < 256; ++byte) {
      uint32_t previous = tables[slice - 1][byte];
      tables[slice][byte] = (previous >> 8) ^ tables[0][previous & 0xFF];
    }
  return tables;
}

constexpr CrcTables kCrcTables = MakeCrcTables();

}  // namespace

const char* MagicOf(ArchiveKind kind) { return kind == ArchiveKind::Rar ? kRarMagic : kBfsMagic; }
const char* KindName(ArchiveKind kind) { return kind == ArchiveKind::Rar ? "RAR" : "BFS"; }

// Eight bytes a step: every byte of a gigabyte of game data goes through here
// on packing, testing and unpacking, and a byte-wise table would dominate them.
void Crc32::Update(const char* data, size_t length) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(data);
  const CrcTables& table = kCrcTables;
  uint32_t crc = state_;
  for (; length >= 8; bytes += 8, length -= 8) {
    uint32_t low = 0;
    uint32_t high = 0;
    memcpy(&low, bytes, 4);
    memcpy(&high, bytes + 4, 4);
    low ^= crc;
    crc = table[7][low & 0xFF] ^ table[6][(low >> 8) & 0xFF] ^ table[5][(low >> 16) & 0xFF] ^ table[4][low >> 24] ^
          table[3][high & 0xFF] ^ table[2][(high >> 8) & 0xFF] ^ table[1][(high >> 16) & 0xFF] ^ table[0][high >> 24];
  }
  for (; length != 0; ++bytes, --length) crc = (crc >> 8) ^ table[0][(crc ^ *bytes) & 0xFF];
  state_ = crc;
}

[[noreturn]] void FailWin32(const std::string& action, const std::string& path, ArchiveFault fault) {
  DWORD code = GetLastError();
  throw ArchiveError(action + " \"" + path + "\": " + SystemMessage(code), fault);
}

// Names are relative paths below the unpack folder: nothing may climb out of it.
void CheckEntryName(const std::string& name, ArchiveFault fault) {
  bool bad = name.empty() || name.front() == '\\' || name.back() == '\\' ||
             name.find_first_of("/:") != std::string::npos || name.find("\\\\") != std::string::npos;
  size_t start = 0;
  while (!bad && start <= name.size()) {
    size_t end = std::min(name.find('\\', start), name.size());
    std::string_view part(name.data() + start, end - start);
    bad = part == "." || part == "..";
    start = end + 1;
  }
  if (bad) throw ArchiveError("Invalid entry name \"" + name + "\"", fault);
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
