#pragma once
// How a whole installation's time divides: the tools it starts, what it still
// waits after their ends, and its own work, for the whole run and step by
// step, each step's own work beside the bare time of the same operations.
#include <vector>

#include "installation_timing.h"
#include "whole_replay.h"
#include "whole_run.h"

// What the design waits by the clock, part of its floor: per archive, the
// packer's marker is tested only 1 s after the packer ended, and 1 s passes
// before the next archive; after every tool's end the runner's last poll
// still sleeps 100 ms.
double DesignWaits(int toolRuns, int packerRuns);

// For each tool (in timing.tools' order): how long after its end the
// installer went on, by its next progress line or the next tool's start,
// whichever came first. What the run waits by the clock lies within, with the
// little work that comes first (the exit code read, the marker's test).
std::vector<double> WaitsAfterTools(const InstallationTiming& timing);

// The whole run: tools, waits and the rest, against what the design waits.
void PrintDivision(const InstallationTiming& timing);
// Step by step, with the bare time of each step's operations and what its
// progress entries cost the window, at entryMs each.
void PrintSegments(const InstallationTiming& timing, const WholeRun& run, const WholeReplay& replay, double entryMs);
