#pragma once
// The player's files through a run that empties the folder: set aside into
// the holding folder before the emptying, and put back once the steps have
// run. What lies in the holding folder is the player's: no run deletes
// anything in it, whether it made it or an earlier run cut off did.
#include <string>
#include <vector>

#include "fileops/held_tree.h"
#include "install/installation_record.h"
#include "support/run_context.h"

// States that the run is under way (the record's stage, with the player's
// files) before anything is emptied, then moves the player's files out of
// the held target into the holding folder: those the earlier record does
// not claim (none without one) join the files an earlier run left there.
// Where two versions of one file meet, the earlier one in the holding
// folder is kept under a name that says so. Throws RuntimeError; nothing
// was deleted then.
void SetPlayersFilesAside(RunContext& run, FileSystem::HeldTree& held, const InstallationRecord* earlier);
// Moves every file of the holding folder to its place, over what the steps
// put there; a file that cannot go back stays in the holding folder, reported.
void PutBackPlayersFiles(RunContext& run);
// The name that keeps an earlier version of path beside the later one, which
// none of taken (upper case) holds: "save (earlier copy).cfg", then
// "save (earlier copy 2).cfg" and so on.
std::string EarlierCopyName(const std::string& path, const std::vector<std::string>& taken);
