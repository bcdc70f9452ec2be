#pragma once
// The installation: InstallZEM7 runs the steps in their fixed order, each step
// reporting its own failures so that the next one always runs. Every step
// works on the folders of the run's plan.
#include <string>

#include "support/run_context.h"

void InstallZEM7(RunContext& run);

void CopyFlatOutFiles(RunContext& run);
void CopyZEM7Files(RunContext& run);
void UnpackZEM7SystemFiles(RunContext& run);
void UnpackBFSFile(RunContext& run);
void CopyTracks(RunContext& run);
void UnpackZEM7TrackFiles(RunContext& run);
void DeleteTrackFolders(RunContext& run);
void SplitAndPackTrackFolders(RunContext& run);
void CreateShortcuts(RunContext& run);
void CleanUp(RunContext& run);
void FinalMessage(RunContext& run);

// Shared by the steps that start the mod's tools in the target folder.
void ChangeToZEM7GameFolder(RunContext& run);
void PackBFSFile(RunContext& run, const std::string& archiveName);
