#pragma once
// A whole installation's file operations done again by a bare Win32 loop on a
// fresh target, each timed on its own: the floor of the installer's own file
// work. Where a tool made files, the tool itself runs again first, outside
// the timing, so that every operation finds the tree it found in the run.
#include <cstdint>
#include <string>
#include <vector>

#include "file_operations.h"
#include "whole_run.h"

struct KindTally {
  int count = 0;
  TreeCount moved;  // what the operations touched: copied, moved, deleted or listed
};

struct WholeReplay {
  double seconds[kSegments] = {};  // the bare file work of each segment
  double toolSeconds = 0;          // the tools run again, not part of the above
  KindTally kinds[static_cast<int>(WholeOperationKind::WriteRecord) + 1];
  TreeCount left;                   // the tree at the end, to hold against the run's
  std::vector<std::string> failed;  // the operations that failed, described
};

// `root` is the fresh target (ends in a backslash; it must not exist yet).
// The operations' absolute sources are read where they are.
WholeReplay ReplayWholeRun(const WholeRun& run, const std::string& root);
double BareSeconds(const WholeReplay& replay);
const char* DescriptionOf(WholeOperationKind kind);
