#pragma once
// What the archive's reader and writer share: the layout and its small helpers.
//
// Layout: 8 bytes of magic, then records. A record is a type byte ('D' folder,
// 'F' file, 'E' end), a flags byte (bit 0: read-only), a 16-bit name length
// and the UTF-8 name. A file record goes on with its 64-bit last-write time,
// its 64-bit size, the bytes and their CRC-32. The checksum follows the bytes
// so that the writer computes it in the same single pass that writes them,
// without seeking back over a file of a gigabyte. The end record holds the number of entries,
// so a cut-off archive never passes for a complete one. Little-endian, as the
// only machines that run this are.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "archive.h"

constexpr size_t kArchiveBufferSize = 1 << 20;
constexpr size_t kMagicSize = 8;
constexpr uint8_t kReadOnlyFlag = 1;
constexpr size_t kChecksumSize = sizeof(uint32_t);

// CRC-32 (the polynomial of zip and RAR) over bytes that arrive in pieces.
class Crc32 {
 public:
  void Update(const char* data, size_t length);
  uint32_t Value() const { return ~state_; }

 private:
  uint32_t state_ = 0xFFFFFFFFu;
};

const char* MagicOf(ArchiveKind kind);
const char* KindName(ArchiveKind kind);

[[noreturn]] void FailWin32(const std::string& action, const std::string& path,
                            ArchiveFault fault = ArchiveFault::Failed);
// Throws with `fault` for a name that is no relative path.
void CheckEntryName(const std::string& name, ArchiveFault fault);

uint64_t FromFileTime(const FILETIME& time);
FILETIME ToFileTime(uint64_t ticks);
std::string FullPath(const std::string& path);
