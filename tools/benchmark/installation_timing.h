#pragma once
// A whole unattended installation by the real installer, watched from
// outside: how soon its window answers all along, and how the time divides
// between the tools it starts, the waits it builds in, and its own work.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "answer_timing.h"
#include "whole_run.h"

struct InstallationRun {
  std::string distributionFolder;  // holds ZEM7Installer.exe; the installer runs from it
  std::string gameFolder;
  std::string targetFolder;
  std::string logPath;
  double limitSeconds = 0;  // then the installer and its tools are ended
};

// A process's start and end in FILETIME ticks (UTC).
struct Life {
  uint64_t start = 0, end = 0;
};

struct ToolLife {
  Life life;
  bool packer = false;
};

struct InstallationTiming {
  bool ended = false;  // by itself, within the limit
  uint32_t exitCode = 0;
  AnswerTimes answers;  // no pings: the window never appeared
  double seconds = 0;   // the installer's process, from its start to its end
  // While at least one child process of the installer ran, each from its
  // start to its end as the system records them.
  double toolSeconds = 0;
  int toolRuns = 0;
  int packerRuns = 0;
  Life installer;
  std::vector<ToolLife> tools;
  // Its standard output, each line stamped as it arrived: the progress lines
  // of an unattended run, and whatever the tools print.
  std::vector<StampedLine> lines;
};

// Nothing when the installer could not be started, or not watched.
std::optional<InstallationTiming> TimeWholeInstallation(const InstallationRun& run);
