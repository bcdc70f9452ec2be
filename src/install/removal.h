#pragma once
// Removing an installation as its record describes it: only the files it
// lists and that are unchanged, the folders left empty, the shortcuts that
// still lead into the folder, the entry in Apps & features, and last the
// record and the uninstaller. What the player made or changed stays.
#include <string>
#include <vector>

#include "fileops/held_tree.h"
#include "install/installation_record.h"
#include "support/run_context.h"

// Why the record's files cannot be taken safely ("" when they can): a path
// that leads through a link, or a shortcut that is no shortcut file.
std::string WhyRecordIsUnsafe(const std::string& folder, const InstallationRecord& record);
// Deletes what held holds (the recorded files that are unchanged), the
// folders left empty, the shortcuts and the entry; each failure reported.
void RemoveInstallation(RunContext& run, FileSystem::HeldTree& held, const InstallationRecord& record);
// Deletes the record and the uninstaller. A running uninstaller cannot delete
// its own file: a copy of it in the temporary folder waits for it to end,
// deletes it and the folder if that is empty, and goes itself with the next
// start of Windows.
void RemoveRecordAndUninstaller(RunContext& run);
// What that copy does, started with the first one's process id.
int FinishRemoval(unsigned long uninstallerProcess, const std::string& folder);
