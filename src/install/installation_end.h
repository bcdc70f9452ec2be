#pragma once
// What a run leaves besides the game copy: the uninstaller, the entry in Apps
// & features and the record, which says at every moment what is whose.
#include <vector>

#include "install/installation_record.h"
#include "support/run_context.h"

// Replaces the record with one that says the run is under way and which
// files outside the holding folder are the player's (kept), through a
// temporary name and a rename. Throws RuntimeError.
void RecordRunUnderWay(RunContext& run, std::vector<FileSystem::FileFacts> kept);
// Copies the uninstaller into the target, registers the entry in Apps &
// features and writes the record of what the run put there (a stopped run's
// too), each failure reported.
void RecordInstallation(RunContext& run, RecordStage stage);
