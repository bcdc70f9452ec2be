#pragma once
// The shell's folder picker, opened on a preselected folder.
#include <windows.h>

#include <string>

constexpr unsigned kBrowseNewDialogStyle = 64;      // BIF_NEWDIALOGSTYLE
constexpr unsigned kBrowseNoNewFolderButton = 512;  // BIF_NONEWFOLDERBUTTON

// The chosen folder's path, or "" when the user cancelled or chose an item
// that is no file-system folder. Errors pass to the caller.
std::string BrowseForFolder(const std::string& initialFolder, HWND owner, const std::string& title, unsigned flags);
