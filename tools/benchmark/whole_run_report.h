#pragma once
// A whole unattended installation by the real installer: how soon its window
// answers all along, how its time divides between the tools, the designed
// waits and its own work, and that own work held against its floor, step by
// step: the same file operations replayed by a bare Win32 loop.
#include <cstdint>
#include <string>

#include "installation_timing.h"

struct WholeRunVerdict {
  int problems = 0;
  bool measured = false;   // the floor could be made
  double ratio = 0;        // the fastest run against its floor, from each step's fastest replay
  double medianRatio = 0;  // of each round's run against its own floor
  // Disk space at the peak beyond the finished size: the run's, and that of
  // the design's own operations.
  uint64_t runPeak = 0, designPeak = 0;
};

struct FloorSettings {
  std::string installerExe;          // as the uninstaller's copy is made from it
  double entryMs = 0;                // what one progress entry costs the window, to show what a step's entries took
  double writeBackLimitSeconds = 0;  // the longest wait for the kernel's write-back before the run and the replay
  int rounds = 1;                    // of the run and its replay, taking turns
};

// `run.targetFolder` must not exist; the installation and its replay beside it are deleted afterwards.
WholeRunVerdict ReportWholeInstallation(const InstallationRun& run, const FloorSettings& settings);
