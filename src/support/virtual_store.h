#pragma once
// The VirtualStore: where Windows puts what a program without administrator
// rights writes into a folder it may not write, such as one under Program
// Files, when the program has no manifest (as the 2004 game has none).
#include <string>
#include <vector>

// Where Windows puts what the game, run by the player signed in to the
// desktop, writes into folder (a full path on a drive) when it may not: the
// folder's path without its drive, in that player's
// "AppData\Local\VirtualStore". "" for a folder that Windows does not
// virtualise (one outside Program Files, ProgramData and the Windows folder of
// the system drive), or when the player's folder cannot be found.
std::string VirtualStoreOf(const std::string& folder);

// VirtualStoreOf with what it asks the system handed in: virtualised lists
// the folders that are virtualised with everything below them, localAppData
// is the player's "AppData\Local".
std::string VirtualStoreFor(const std::string& folder, const std::vector<std::string>& virtualised,
                            const std::string& localAppData);
