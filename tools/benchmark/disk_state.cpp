#include "disk_state.h"

#include <windows.h>

#include <optional>
#include <vector>

#include "figures.h"
#include "file_operations.h"
#include "support/handles.h"
#include "support/text.h"

namespace {

constexpr double kSettledMegabytes = 32;
constexpr DWORD kPollMs = 200;

// "Dirty:" and "Writeback:" of /proc/meminfo, in megabytes.
std::optional<double> PendingMegabytes() {
  UniqueFile file(CreateFileW(L"Z:\\proc\\meminfo", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::nullopt;
  std::string text;
  char buffer[4096];
  // The kernel's files tell no size: read to the end.
  for (DWORD read = 0; ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr) && read > 0;)
    text.append(buffer, read);
  double pending = 0;
  bool found = false;
  for (const char* field : {"\nDirty:", "\nWriteback:"}) {
    size_t at = text.find(field);
    if (at == std::string::npos) continue;
    pending += std::strtod(text.c_str() + at + strlen(field), nullptr) / 1024;  // given in kB
    found = true;
  }
  return found ? std::optional<double>(pending) : std::nullopt;
}

void ReadFileThrough(const std::wstring& path, std::vector<char>& buffer) {
  UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  for (DWORD read = 0;
       file && ReadFile(file.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr) && read > 0;) {
  }
}

void ReadTree(const std::wstring& folder, std::vector<char>& buffer) {
  WIN32_FIND_DATAW found;
  UniqueFind search(FindFirstFileW((folder + L"\\*").c_str(), &found));
  if (!search) return;
  do {
    std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      ReadTree(folder + L"\\" + name, buffer);
    else
      ReadFileThrough(folder + L"\\" + name, buffer);
  } while (FindNextFileW(search.Get(), &found));
}

}  // namespace

DiskSettling WaitForWriteBack(double limitSeconds) {
  DiskSettling settling;
  std::optional<double> pending = PendingMegabytes();
  if (!pending) return settling;
  settling.pendingMegabytes = *pending;
  double start = Now();
  while (pending && *pending > kSettledMegabytes && Now() - start < limitSeconds) {
    Sleep(kPollMs);
    pending = PendingMegabytes();
  }
  settling.waitedSeconds = Now() - start;
  return settling;
}

void ReadThrough(const std::string& folder) {
  std::vector<char> buffer(1u << 20);
  ReadTree(Widen(folder), buffer);
}

namespace {

uint64_t FreeBytes(const std::string& folder) {
  ULARGE_INTEGER available{}, total{}, free{};
  return GetDiskFreeSpaceExW(Widen(folder).c_str(), &available, &total, &free) ? free.QuadPart : 0;
}

constexpr DWORD kSampleMs = 5;

}  // namespace

DiskPeakMeter::DiskPeakMeter(std::string folder)
    : folder_(std::move(folder)), sampler_([this] {
        while (!stop_) {
          uint64_t free = FreeBytes(folder_);
          if (free != 0 && free < lowestFree_) lowestFree_ = free;
          Sleep(kSampleMs);
        }
      }) {}

DiskPeakMeter::~DiskPeakMeter() {
  stop_ = true;
  if (sampler_.joinable()) sampler_.join();
}

uint64_t DiskPeakMeter::Stop() {
  stop_ = true;
  if (sampler_.joinable()) sampler_.join();
  uint64_t free = FreeBytes(folder_);
  return free > lowestFree_ ? free - lowestFree_ : 0;
}
