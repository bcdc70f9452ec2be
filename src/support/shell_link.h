#pragma once
#include <string>

// Saves a shortcut file (".lnk") to targetPath, started in workingFolder.
void SaveShortcut(const std::string& shortcutPath, const std::string& targetPath, const std::string& workingFolder);
// The target of an existing shortcut; "" when it cannot be read.
std::string ReadShortcutTarget(const std::string& shortcutPath);
