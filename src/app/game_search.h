#pragma once
// Finds a copy of the game that a store installed: such copies leave no
// value where the game's own installer recorded its folder.
#include <optional>
#include <string>

// The first folder holding FlatOut.exe among the Steam libraries, then the
// games GOG registered, then, under Wine only, the libraries of the Linux
// Steam client; nothing when none holds the game.
std::optional<std::string> FindGameInLibraries();
