#pragma once
// Folder paths as the installer passes them around: trimmed, ending in a
// backslash, and in short (8.3) form for programs that cannot take spaces.
#include <string>

#include "support/error_report.h"

// Drops leading and trailing spaces (only spaces: a tab is part of the name)
// and makes sure the path ends in one backslash. "" becomes "\".
std::string FormatPath(std::string path);
// Repeated backslashes made one, keeping the two that begin a network path
// ("\\\\server\\share"): "C:\\Out Dir\\\\" names the folder "C:\\Out Dir\\".
std::string CollapseBackslashes(const std::string& path);
// A name the system keeps for a device ("CON", "nul.txt", "COM1", "lpt9.log"):
// no file or folder can bear it, whatever follows its first dot.
bool IsDeviceName(const std::string& name);
// A path in one of the system's own forms ("\\?\...", "\\.\..."), which skip
// the rules that plain paths follow and can name devices.
bool HasSystemPrefix(const std::string& path);
// The short form of an existing file or folder; "" when it does not exist,
// and "" after a failure, which is reported.
std::string GetShortPath(ErrorReporter& reporter, const std::string& path);
// The full path for a relative or absolute one, resolved against the current
// folder; "" names the current folder itself. No trailing backslash except
// for a drive's root ("C:\").
std::string GetAbsolutePathName(const std::string& path);
// The running program's full path, and its folder without trailing backslash.
std::string ExecutablePath();
std::string ExecutableFolder();
