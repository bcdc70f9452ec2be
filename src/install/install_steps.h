#pragma once
// The installation: InstallZEM7 runs the steps in their fixed order, each step
// reporting its own failures so that the next one always runs. Every step
// works on the folders of the run's plan. The caller keeps a second
// installation from starting while one runs (InstallingScope).
#include <string>

#include "fileops/held_tree.h"
#include "install/record_keeper.h"
#include "support/run_context.h"

enum class InstallResult {
  NotStarted,              // the download was refused, or the target could not be created (reported)
  PartlyEmptied,           // emptying the target failed part-way (reported, with what is left)
  Stopped,                 // the user (or a script, politely) stopped it; the target is incomplete
  StoppedBeforeAnyChange,  // stopped while the mod's files were tested
  Completed,               // every step ran, each reporting its own failures
};
// targetToEmpty: the earlier installation the user agreed to recreate, held
// since the checks; it is deleted as the run's first change. keeper: the
// target's record as the checks read it, which keeps the player's files.
InstallResult InstallZEM7(RunContext& run, FileSystem::HeldTree* targetToEmpty, RecordKeeper& keeper);

// The mod's own files that the installer's folder must hold: its extractor
// and its three archives.
constexpr const char* kDownloadFiles[] = {"unrar.exe", "zem7systemfiles.rar", "zem7trackfiles.rar", "zem7makebfs.rar"};
constexpr const char* kDownloadArchives[] = {"zem7systemfiles.rar", "zem7trackfiles.rar", "zem7makebfs.rar"};
// Tests each of the mod's archives with the mod's own extractor, before
// anything is changed; false, the user told which, when one is damaged or the
// extractor cannot be started. A stop asked for meanwhile is thrown.
bool TestModArchives(RunContext& run);

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

// Whether the shortcut leads to an item in folder, which it names by any of its names.
bool ShortcutLeadsInto(const std::string& shortcut, const std::string& folder);
// Shared by the steps that start the mod's tools in the target folder.
void ChangeToZEM7GameFolder(RunContext& run);
// A tool copied into the target folder, by its quoted full path: by its bare
// name the system would look in the installer's own folder first.
std::string ToolCommand(const RunContext& run, const std::string& tool);
// true when the archive was made (it is then in the target folder).
bool PackBFSFile(RunContext& run, const std::string& archiveName);
