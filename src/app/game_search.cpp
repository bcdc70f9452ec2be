#include "app/game_search.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "fileops/file_system.h"
#include "registry/registry.h"
#include "support/key_values.h"
#include "support/runtime_error.h"
#include "support/platform.h"
#include "support/text.h"
#include "support/text_file.h"

namespace {

constexpr const char* kGameExecutable = "FlatOut.exe";
constexpr const char* kSteamUserFolderValue = "HKCU\\Software\\Valve\\Steam\\SteamPath";
constexpr const char* kSteamMachineFolderValue = "HKLM\\SOFTWARE\\Valve\\Steam\\InstallPath";
constexpr const char* kSteamLibraryList = "steamapps\\libraryfolders.vdf";
constexpr const char* kSteamManifest = "steamapps\\appmanifest_6220.acf";
constexpr const char* kSteamGames = "steamapps\\common";
constexpr const char* kGogGamesKey = "HKLM\\SOFTWARE\\GOG.com\\Games\\";
constexpr const char* kGogGameName = "FlatOut";
// Below the Linux home folder: the client's classic link, its usual folder, and the Flatpak's.
constexpr const char* kLinuxSteamFolders[] = {".steam\\steam", ".local\\share\\Steam",
                                              ".var\\app\\com.valvesoftware.Steam\\.local\\share\\Steam"};
// Steam's files are a few kilobytes; a far larger one is no file of Steam's.
constexpr size_t kMaxFileBytes = 1 << 20;
// More libraries than anyone keeps, few enough that start-up never waits on them.
constexpr size_t kMaxLibraries = 32;

std::optional<std::string> ReadOptionalRegistryString(const std::string& path) {
  try {
    return ReadRegistryString(path);
  } catch (const RuntimeError&) {
    return std::nullopt;
  }
}

std::string Joined(const std::string& folder, const std::string& name) {
  return folder.ends_with('\\') ? folder + name : folder + "\\" + name;
}

// A folder as Steam or GOG wrote it, as a Windows path. Linux paths (from the
// Linux client's files) begin at linuxRoot, the drive that maps "/"; a
// relative or empty path would be taken from the current folder, so it names nothing.
std::optional<std::string> AsWindowsFolder(std::string path, const std::string& linuxRoot = {}) {
  if (!linuxRoot.empty()) {
    if (!path.starts_with('/')) return std::nullopt;
    path = linuxRoot + path;
  }
  std::replace(path.begin(), path.end(), '/', '\\');
  bool absolute = path.starts_with("\\\\") || (path.size() >= 3 && path[1] == ':' && path[2] == '\\');
  if (!absolute) return std::nullopt;
  return path;
}

std::optional<std::string> GameFolderIfPresent(const std::string& folder) {
  if (FileSystem::FileExists(Joined(folder, kGameExecutable))) return folder;
  return std::nullopt;
}

std::optional<KeyValues> ReadKeyValuesFile(const std::string& path) {
  std::optional<std::string> text = ReadSmallFile(path, kMaxFileBytes);
  if (!text) return std::nullopt;
  return ParseKeyValues(*text);
}

// Steam installs into a folder of steamapps\common; a name that climbs out of
// it, or into another drive, is not one Steam wrote.
bool IsPlainFolderName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find_first_of("\\/:") == std::string::npos;
}

std::optional<std::string> SteamGameIn(const std::string& library) {
  std::optional<KeyValues> manifest = ReadKeyValuesFile(Joined(library, kSteamManifest));
  const KeyValues* state = manifest ? manifest->Find("AppState") : nullptr;
  std::optional<std::string> installDir = state ? state->ValueOf("installdir") : std::nullopt;
  if (!installDir || !IsPlainFolderName(*installDir)) return std::nullopt;
  return GameFolderIfPresent(Joined(Joined(library, kSteamGames), *installDir));
}

// The newer list holds a section per library with its "path"; the older one
// holds the path as the value of a numbered key, beside other settings.
std::optional<std::string> LibraryPathOf(const KeyValues& entry) {
  if (entry.isSection) return entry.ValueOf("path");
  bool numbered = !entry.key.empty() &&
                  std::all_of(entry.key.begin(), entry.key.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (!numbered) return std::nullopt;
  return entry.value;
}

// The Steam folder, which is a library itself, and the libraries its list names.
std::vector<std::string> SteamLibraries(const std::string& steamFolder, const std::string& linuxRoot) {
  std::vector<std::string> libraries{steamFolder};
  std::optional<KeyValues> list = ReadKeyValuesFile(Joined(steamFolder, kSteamLibraryList));
  const KeyValues* folders = list ? list->Find("libraryfolders") : nullptr;
  if (!folders) return libraries;
  for (const KeyValues& entry : folders->children) {
    if (libraries.size() == kMaxLibraries) break;
    std::optional<std::string> path = LibraryPathOf(entry);
    std::optional<std::string> folder = path ? AsWindowsFolder(*path, linuxRoot) : std::nullopt;
    if (folder && std::none_of(libraries.begin(), libraries.end(),
                               [&](const std::string& known) { return EqualsIgnoreCase(known, *folder); }))
      libraries.push_back(*folder);
  }
  return libraries;
}

std::optional<std::string> FindInSteamFolder(const std::string& steamFolder, const std::string& linuxRoot = {}) {
  for (const std::string& library : SteamLibraries(steamFolder, linuxRoot)) {
    if (std::optional<std::string> game = SteamGameIn(library)) return game;
  }
  return std::nullopt;
}

std::optional<std::string> FindInSteam() {
  for (const char* value : {kSteamUserFolderValue, kSteamMachineFolderValue}) {
    std::optional<std::string> text = ReadOptionalRegistryString(value);
    std::optional<std::string> folder = text ? AsWindowsFolder(*text) : std::nullopt;
    if (!folder || !FileSystem::FolderExists(*folder)) continue;
    if (std::optional<std::string> game = FindInSteamFolder(*folder)) return game;
  }
  return std::nullopt;
}

std::optional<std::string> FindInGog() {
  std::vector<std::string> games;
  try {
    games = ReadRegistrySubKeyNames(kGogGamesKey);
  } catch (const RuntimeError&) {
    return std::nullopt;
  }
  for (const std::string& id : games) {
    std::string key = kGogGamesKey + id + "\\";
    if (ReadOptionalRegistryString(key + "gameName") != kGogGameName) continue;
    std::optional<std::string> path = ReadOptionalRegistryString(key + "path");
    std::optional<std::string> folder = path ? AsWindowsFolder(*path) : std::nullopt;
    if (!folder) continue;
    if (std::optional<std::string> game = GameFolderIfPresent(*folder)) return game;
  }
  return std::nullopt;
}

std::string EnvironmentText(const wchar_t* name) {
  DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
  if (size == 0) return {};
  std::wstring value(size, L'\0');
  value.resize(GetEnvironmentVariableW(name, value.data(), size));
  return Narrow(value);
}

// Wine names the Linux home folder as an NT path through the drive that maps
// "/" ("\??\Z:\home\player"), so that drive is also where Linux paths begin.
std::optional<std::string> WineHomeFolder() {
  std::string home = EnvironmentText(L"WINEHOMEDIR");
  if (home.starts_with("\\??\\")) home.erase(0, 4);
  return AsWindowsFolder(home);
}

std::optional<std::string> FindInLinuxSteam() {
  std::optional<std::string> home = WineHomeFolder();
  if (!home || home->starts_with("\\\\")) return std::nullopt;
  std::string linuxRoot = home->substr(0, 2);
  for (const char* steam : kLinuxSteamFolders) {
    std::string folder = Joined(*home, steam);
    if (!FileSystem::FolderExists(folder)) continue;
    if (std::optional<std::string> game = FindInSteamFolder(folder, linuxRoot)) return game;
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> FindGameInLibraries() {
  if (std::optional<std::string> game = FindInSteam()) return game;
  if (std::optional<std::string> game = FindInGog()) return game;
  if (RunningUnderWine()) return FindInLinuxSteam();
  return std::nullopt;
}
