#pragma once
// The names the player's files are kept under.
#include <string>
#include <vector>

// The name that keeps an earlier version of path beside the later one, which
// none of taken (upper case) holds: "save (earlier copy).cfg", then
// "save (earlier copy 2).cfg" and so on.
std::string EarlierCopyName(const std::string& path, const std::vector<std::string>& taken);
