#pragma once
// What makes a folder a safe target: it is no drive's root, no system or
// user folder, neither holds nor lies in the game, holds neither the
// installer nor a log of the user's choosing, and can be made. Folders are
// compared by identity, never by their names. An existing target may be
// emptied only when an earlier installation filled it.
#include <string>
#include <vector>

#include "fileops/held_tree.h"
#include "support/run_context.h"

// true when the target may be used; otherwise the user has been told why.
bool IsSafeTarget(RunContext& run);
// Why a folder that holds an installation may not be removed from, or nothing: the
// same rules as for a target, the uninstaller's own folder aside, with every
// FlatOut game folder of gameFolders kept clear of as the plan's game is.
Message WhyNotAnInstallationFolder(const RunContext& run, const std::string& folder,
                                   const std::vector<std::string>& gameFolders);
// An existing target whose entries may go: an earlier ZEM7 installation
// (its record, the game's executable or the holding folder at its top), or
// folders with no file at any depth.
bool IsEarlierInstallationOrEmpty(RunContext& run, const std::string& target);
// The test the emptying's walk runs on every folder it meets in the target:
// the game, the installer's folder, a system or user folder, or another
// drive's root, reached through another name, refuse it.
FileSystem::HeldTree::FolderCheck ProtectedFolderCheck(const RunContext& run);

// The game's files lie a few folders deep below the target, and the mod's
// tools are old programs that know no path longer than MAX_PATH.
constexpr size_t kLongestTarget = 159;
