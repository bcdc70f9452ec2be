#pragma once
// Start-up: the window, the run context, the proposed folders, and the
// message loop until the window closes.
#include <string>

#include "shell/main_window.h"
#include "support/run_context.h"

// Runs the program; the result is its exit code.
int RunInstaller();

// Creates the window, proposes the two folders and shows it.
void Main(RunContext& run, MainWindow& window);
std::string GetFlatOutGameFolder(RunContext& run);
// The proposed target: the game folder's full path with " - ZEM7" added.
std::string GetZEM7GameFolderPath(RunContext& run, const std::string& gameFolderText);

constexpr const char* kFlatOutPathValue = "HKLM\\SOFTWARE\\BugBear\\FlatOut\\Path";
constexpr const char* kFallbackGameFolder = "c:\\Program Files\\Empire Interactive\\FlatOut";
constexpr const char* kGameFolderPlaceholder = "<Unable to find FlatOut Game Folder>";
