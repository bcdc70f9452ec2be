#pragma once
// Start-up: the command line, the window, the run context, the proposed
// folders, and the message loop until the window closes; or an unattended run.
#include <string>

#include "shell/command_line.h"
#include "shell/main_window.h"
#include "support/run_context.h"

// Runs the program with the arguments it was given; the result is its exit code.
int RunInstaller(const std::wstring& arguments);

// The folders of a run before the boxes are read: the installer's, and the log's.
InstallPlan PlanFor(const CommandLineOptions& options);
// Creates the window, fills in the two folders (the switches' or the proposed
// ones) and shows it.
void Main(RunContext& run, MainWindow& window, const CommandLineOptions& options);
// The two folders of a run: the switches' where given, else the proposed ones.
struct RunFolders {
  std::string game, target;
};
RunFolders ProposeFolders(RunContext& run, const CommandLineOptions& options);
std::string GetFlatOutGameFolder(RunContext& run);
// The proposed target: the game folder's full path with " - ZEM7" added.
std::string GetZEM7GameFolderPath(RunContext& run, const std::string& gameFolderText);

constexpr const char* kFlatOutPathValue = "HKLM\\SOFTWARE\\BugBear\\FlatOut\\Path";
constexpr const char* kFallbackGameFolder = "c:\\Program Files\\Empire Interactive\\FlatOut";
constexpr const char* kGameFolderPlaceholder = "<Unable to find FlatOut Game Folder>";
