#pragma once
#include <string>

// Runs the program: start-up, then the window's message loop until it closes.
int RunInstaller();

// Loads the window, proposes the two folders and shows it.
void Main();
std::string GetFlatOutGameFolder();
std::string GetZEM7GameFolderPath();

constexpr const char* kFlatOutPathValue = "HKLM\\SOFTWARE\\BugBear\\FlatOut\\Path";
constexpr const char* kFallbackGameFolder = "c:\\Program Files\\Empire Interactive\\FlatOut";
constexpr const char* kGameFolderPlaceholder = "<Unable to find FlatOut Game Folder>";
