#pragma once
// What the disk carries over from one timing to the next. A run that wrote
// gigabytes leaves them in the kernel's cache, to be written back while the
// next one works; and a file read once is read from memory the next time.
// Two timings are held side by side only when both start alike: nothing
// waiting to be written, their sources read once before.
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

struct DiskSettling {
  double pendingMegabytes = 0;  // waiting to be written back when asked; 0 when it cannot be known
  double waitedSeconds = 0;
};

// Waits, at most `limitSeconds`, until the kernel has written back all but a
// few megabytes. Under Wine the Linux root is drive Z:, and the kernel counts
// those bytes in /proc/meminfo; where it cannot be read, nothing is waited for.
DiskSettling WaitForWriteBack(double limitSeconds);
// Reads every file below `folder` once.
void ReadThrough(const std::string& folder);

// The most disk space a piece of work takes beyond what it leaves: the free
// space of the volume is read every few milliseconds while it runs, and once
// more when it is done. Whatever else writes to that volume meanwhile counts
// too, so of several rounds the least is the truest.
class DiskPeakMeter {
 public:
  explicit DiskPeakMeter(std::string folder);  // an existing folder on the volume
  ~DiskPeakMeter();
  DiskPeakMeter(const DiskPeakMeter&) = delete;
  DiskPeakMeter& operator=(const DiskPeakMeter&) = delete;
  // Bytes taken at the peak beyond the free space now; call once the work is done.
  uint64_t Stop();

 private:
  std::string folder_;
  std::atomic<bool> stop_{false};
  std::atomic<uint64_t> lowestFree_{UINT64_MAX};
  std::thread sampler_;  // last: it starts once the rest is in place
};
