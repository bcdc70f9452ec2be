#pragma once
// The installation: InstallZEM7 runs the steps in their fixed order, each step
// reporting its own failures so that the next one always runs.
#include <string>

void InstallZEM7();

void CopyFlatOutFiles();
void CopyZEM7Files();
void UnpackZEM7SystemFiles();
void UnpackBFSFile();
void CopyTracks();
void UnpackZEM7TrackFiles();
void DeleteTrackFolders();
void SplitAndPackTrackFolders();
void CreateShortcuts();
void CleanUp();
void FinalMessage();

// Shared by the steps that start the mod's tools with bare file names.
void ChangeToZEM7GameFolder();
void PackBFSFile(const std::string& archiveName);

// External tools get no time limit worth the name (about 23 days).
constexpr int32_t kNoTimeLimitMs = 2000000000;
constexpr int kWindowNormal = 1;
constexpr int kWindowMinimized = 2;
