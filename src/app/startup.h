#pragma once
// What both runs, with a window and unattended, start from: the plan of the
// run's folders, the proposal of the two folders, and the window filled in
// with them.
#include <string>
#include <vector>

#include "app/command_line.h"
#include "support/run_context.h"
#include "window/main_window.h"

// Exit codes a script can trust (the numbers of the common installer builders).
constexpr int kExitInstalled = 0;
constexpr int kExitBadStart = 1;
constexpr int kExitRefused = 2;
constexpr int kExitInstalledWithErrors = 4;
constexpr int kExitStopped = 5;

// The folders of a run before the boxes are read: the installer's, and the log's.
InstallPlan PlanFor(const CommandLineOptions& options);
// Why the log file that /LOG= names may not be written, or nothing: its folder must
// exist, and a file of that name must be an earlier log of this installer,
// which the run replaces. Anything else is somebody's file. A device's name
// never gets here: the command line refuses it.
Message WhyNotALogFile(const std::string& path);
// Creates the window, fills in the two folders (the switches' or the proposed
// ones) and shows it.
void Main(RunContext& run, MainWindow& window, WindowCommands& commands, const CommandLineOptions& options);
// The two folders of a run: the switches' where given, else the proposed ones.
struct RunFolders {
  std::string game, target;
};
RunFolders ProposeFolders(RunContext& run, const CommandLineOptions& options);
std::string GetFlatOutGameFolder(RunContext& run);
// Every FlatOut game folder this system names, where the installation looks
// for one (the switch, the game's registry value and its fallback, the
// stores), whether it exists or not; nothing is reported.
std::vector<std::string> KnownGameFolders(const CommandLineOptions& options);
// The proposed target: the game folder's full path with " - ZEM7" added.
std::string GetZEM7GameFolderPath(RunContext& run, const std::string& gameFolderText);

constexpr const char* kFlatOutPathValue = "HKLM\\SOFTWARE\\BugBear\\FlatOut\\Path";
constexpr const char* kFallbackGameFolder = "c:\\Program Files\\Empire Interactive\\FlatOut";
constexpr const char* kGameFolderPlaceholder = "<Unable to find FlatOut Game Folder>";
