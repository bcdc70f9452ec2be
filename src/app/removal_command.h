#pragma once
// The removal of an installation (/UNINSTALL), as Apps & features starts it:
// from the uninstaller in the installation's folder, or with /DIR= naming it.
#include "app/command_line.h"

// Runs one removal as the options say; the result is the exit code.
int RunRemoval(const CommandLineOptions& options);
// The uninstaller's copy in the temporary folder: ends the removal once the
// uninstaller has ended.
int FinishRemovalFor(const CommandLineOptions& options);
