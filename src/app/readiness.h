#pragma once
// The checks that must pass before an installation may start: the two
// folders differ, the game is complete and patched, the target is safe to
// fill, empty (or an earlier installation agreed to be emptied) and on a
// drive with room. They read
// the run's plan and talk to the user through its interface only.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "fileops/held_tree.h"
#include "support/run_context.h"

enum class Readiness {
  Refused,           // a check failed and the user has been told why
  Ready,             // the target is missing or empty
  ReadyOnceEmptied,  // the target holds an earlier installation and the user agreed to its deletion once the run starts
};

// Every check up to the question about a target that holds files.
Readiness CheckIfReadyToInstall(RunContext& run);
// true when the game's file (isFile) or folder exists; otherwise shows missing, the text that names it.
bool CheckGameFileItem(RunContext& run, bool isFile, TextId missing, const std::string& path);
// Once the user agreed to recreate the target: every file and folder in it,
// held for deletion until the installation empties it; nothing when one
// cannot go or must not (the user has been told which). Nothing is deleted here.
std::unique_ptr<FileSystem::HeldTree> HoldTargetForEmptying(RunContext& run);

// Free bytes on the drive whose root is given ("C:\"); throws when the drive cannot be read.
using FreeSpaceProbe = std::function<uint64_t(const std::string& driveRoot)>;
uint64_t DriveFreeSpace(const std::string& driveRoot);
// The target's drive has room for the installation, counting the bytes that
// emptying the target will free first; a drive that cannot be read has none.
bool HasEnoughSpace(RunContext& run, const FreeSpaceProbe& probe, uint64_t freedFirst = 0);
// Whole gigabytes of 2^30 bytes, a half going to the even neighbour.
int64_t WholeGigabytes(uint64_t bytes);
