#pragma once
// What the disk carries over from one timing to the next. A run that wrote
// gigabytes leaves them in the kernel's cache, to be written back while the
// next one works; and a file read once is read from memory the next time.
// Two timings are held side by side only when both start alike: nothing
// waiting to be written, their sources read once before.
#include <string>

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
