#pragma once
// The installer with its window: the user fills in the folders and clicks.
#include "app/command_line.h"

// Shows the window and runs it until it closes; the result is the exit code.
int RunWindow(const CommandLineOptions& options);
