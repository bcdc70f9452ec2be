#pragma once
// The installation's file-heavy track steps (CopyTracks, DeleteTrackFolders,
// SplitAndPackTrackFolders) run in this process with a scripted user
// interface, their waits told apart from their file work, and the same folder
// operations replayed on fresh trees: through the installer's safe operations,
// a bare Win32 loop and the command interpreter.
#include <string>

struct Folders {
  std::string game, distribution, target;  // target ends in a backslash
};

// A game install's data tree as the installer has it when the track steps
// begin: Common2.bfs unpacked, the mod's system files and packer extracted.
void PrepareTarget(const Folders& folders, const std::string& target);

struct TrackPhaseOptions {
  int rounds = 2;            // of ours and the bare loop; each keeps its fastest time per phase
  bool quick = false;        // leaves out the command interpreter
  std::string nativeFolder;  // where to leave the tree and the operations for a native baseline; empty: nowhere
};

struct TrackPhaseFigures {
  int problems = 0;
  double ours = 0, bare = 0, cmd = 0;  // the replays' whole times
  bool withCmd = false;
  unsigned clockWaits = 0;  // Sleep calls in the steps: each a wait for nothing
};

// Runs and prints it all; `folders.target` must be prepared, and is gone afterwards.
// The replays are made in `root`.
TrackPhaseFigures TimeTrackPhases(const Folders& folders, const std::string& root, const TrackPhaseOptions& options);
