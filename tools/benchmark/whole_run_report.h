#pragma once
// A whole unattended installation by the real installer: how soon its window
// answers all along, how its time divides between the tools, the designed
// waits and its own work, and that own work held against its floor, step by
// step: the same file operations replayed by a bare Win32 loop.
#include <string>

#include "installation_timing.h"

struct WholeRunVerdict {
  int problems = 0;
  bool measured = false;  // the floor could be made
  double ratio = 0;       // the whole installation against its floor
};

// `run.targetFolder` must not exist; the installation and its replay beside it are deleted afterwards.
// `entryMs`: what one progress entry costs the window, to show what the entries took of each step.
WholeRunVerdict ReportWholeInstallation(const InstallationRun& run, const std::string& installerExe, double entryMs);
