#pragma once
// Folder paths as the installer passes them around: trimmed, ending in a
// backslash, and in short (8.3) form for programs that cannot take spaces.
#include <string>

// Drops leading and trailing spaces (only spaces: a tab is part of the name)
// and makes sure the path ends in one backslash. "" becomes "\".
std::string FormatPath(std::string path);
// The short form of an existing file or folder; "" when it does not exist.
std::string GetShortPath(const std::string& path);
// The full path for a relative or absolute one, resolved against the current
// folder; "" names the current folder itself. No trailing backslash except
// for a drive's root ("C:\").
std::string GetAbsolutePathName(const std::string& path);
