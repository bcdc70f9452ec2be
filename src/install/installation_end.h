#pragma once
// What a run leaves besides the game copy: the player's files put back where
// they were, the uninstaller, the entry in Apps & features and the record.
#include <string>
#include <vector>

#include "fileops/held_tree.h"
#include "install/installation_record.h"
#include "support/run_context.h"

// The folder inside the target where the player's files wait while the steps run.
constexpr const char* kHoldingFolderName = "ZEM7 Kept Files";

// Moves the files that the player made or changed since the earlier
// installation out of the held target into the holding folder; they are
// then no longer part of what is emptied. Throws RuntimeError.
void SetPlayersFilesAside(RunContext& run, FileSystem::HeldTree& held, const InstallationRecord& earlier);
// Moves each file set aside back to its place, over what the steps put
// there; a file that cannot go back stays in the holding folder, reported.
void PutBackPlayersFiles(RunContext& run);
// Copies the uninstaller into the target, registers the entry in Apps &
// features and writes the record, each failure reported.
void RecordInstallation(RunContext& run);
