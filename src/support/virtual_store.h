#pragma once
// The VirtualStore: where Windows puts what a program without administrator
// rights writes into a folder it may not write, such as one under Program
// Files, when the program has no manifest (as the 2004 game has none).
#include <string>

// Where Windows puts what a program without administrator rights writes into
// folder (a full path on a drive) when it may not: the same path without its
// drive, in the current user's "AppData\Local\VirtualStore". "" for a
// folder on no drive, or when the user has no such folder.
std::string VirtualStoreOf(const std::string& folder);
