#pragma once
// The installation's entry in Apps & features (Settings, Apps): one key per
// ZEM7 Game Folder under the system's Uninstall key, so that two
// installations in two folders are two entries and a re-run into the same
// folder updates its own. Its removal command is the installer's copy in the
// folder, "ZEM7Uninstall.exe", with /UNINSTALL.
#include <cstdint>
#include <string>

constexpr const char* kUninstallKeys = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// The key's name for a folder (ending in a backslash): the same for every run into it.
std::string UninstallKeyFor(const std::string& folder);
// Writes (or updates) folder's entry; bytes is the installation's size. Throws RuntimeError.
void RegisterUninstallEntry(const std::string& folder, const std::string& key, uint64_t bytes);
// Removes the entry; a missing one is no error.
void RemoveUninstallEntry(const std::string& key);
// Removes folder's entry, found by the key the folder gives, when it names
// this very folder as its InstallLocation; whatever a record in the folder
// claims, a copy of an installation never removes the original's entry.
// Returns whether it removed one. Throws RuntimeError.
bool RemoveUninstallEntryOf(const std::string& folder);
// Removes the entry under key, the one a record noted and one of this
// installer's by its name, when the folder its InstallLocation names is gone
// (the entry a folder had before it was renamed or moved) or is this very
// folder, which the folder's own key no longer finds once a drive letter
// added or removed under Wine changes the name it is known by. Returns
// whether it removed one. Throws RuntimeError.
bool RemoveRecordedEntry(const std::string& key, const std::string& folder);
