#pragma once
#include <string>

// Saves a shortcut file (".lnk") whose only setting is its target.
void SaveShortcut(const std::string& shortcutPath, const std::string& targetPath);
