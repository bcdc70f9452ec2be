#pragma once
// Removing an installation as its record describes it: only the files it
// lists and that are unchanged, the folders left empty, the shortcuts that
// still lead into the folder, the entry in Apps & features, and last the
// record and the uninstaller. What the player made or changed stays.
#include <string>
#include <vector>

#include "fileops/held_tree.h"
#include "install/record_keeper.h"
#include "support/run_context.h"

// Why the record's files cannot be taken safely (nothing when they can): a
// path that leads through a link or into the holding folder, or a shortcut
// that is no shortcut file.
Message WhyRecordIsUnsafe(const std::string& folder, const InstallationRecord& record);
// Deletes what held holds (the recorded files that are unchanged, and the
// folders that are then empty) and then the shortcuts; each failure
// reported. Shortcuts of an installation that stays, partly, stay too.
void RemoveInstallation(RunContext& run, FileSystem::HeldTree& held, const InstallationRecord& record);
// Once everything else has gone: removes the folder's entry in Apps &
// features (or the one the record registered, for a folder renamed or moved
// since, when that one's folder is gone), replaces the record with one that
// says the mod was removed (so
// that what is left is known as the player's), then deletes the uninstaller
// and, when no file of the player's is left, the record and the folder. A
// running uninstaller cannot delete its own file: a copy of it in the
// temporary folder waits for it to end, does the rest, and goes itself with
// the next start of Windows.
void RemoveEntryRecordAndUninstaller(RunContext& run, RecordKeeper& keeper, const InstallationRecord& record);
// What that copy does, started with the first one's process id.
int FinishRemoval(unsigned long uninstallerProcess, const std::string& folder);
