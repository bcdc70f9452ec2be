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
// An existing item's path with every short (8.3) name in it long, as a file
// made under that path must be named; the path as it is when it does not exist.
std::string LongPathName(const std::string& path);
// A full path as the installer writes and compares paths, from the forms the
// system gives back (where an open file really lies, say): "C:\..." from
// \\?\C:\..., \\.\C:\... and \??\C:\..., and "\\server\share\..." from their
// UNC forms (\\?\UNC\server\share\...); any other path as it is.
std::wstring PlainPathName(const std::wstring& path);
// Whether one name (no backslash) is a device's that Windows keeps in every
// folder: CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM0-9 and LPT0-9, in any case,
// with or without an extension, trailing dots or spaces ("nul.log", "COM1 .txt").
bool IsDeviceName(const std::string& name);
// Whether a path reaches a device rather than a file: it lies in a device
// namespace ("\\.\", "\\?\", "\??\"), or one of its names is a device's. Only
// the text is looked at, so that nothing opens the device to find out.
bool NamesADevice(const std::string& path);
// The running program's full path, and its folder without trailing backslash.
std::string ExecutablePath();
std::string ExecutableFolder();
