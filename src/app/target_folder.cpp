#include "app/target_folder.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "fileops/file_system.h"
#include "fileops/folder_identity.h"
#include "install/installation_record.h"
#include "support/handles.h"
#include "support/keep_alive.h"
#include "support/path_helpers.h"
#include "support/text.h"

using FileSystem::FolderId;
using FileSystem::IdentityOf;
using FileSystem::IsSameOrInside;

namespace {

constexpr const char* kTitle = "ZEM7 Installer";

struct SystemFolder {
  const KNOWNFOLDERID* id;
  const char* name;
  bool noFolderInside;  // a folder in it may well be the system's own, and nothing of a game belongs there
};

// The folders the system and its users need, and those that hold the user's
// own files. The installer runs elevated, so emptying one of them, or a
// folder holding one, is within its reach. A new folder inside most of them
// is a fine place for a game.
constexpr SystemFolder kSystemFolders[] = {
    {&FOLDERID_Windows, "the Windows folder", true},
    {&FOLDERID_ProgramFiles, "the Program Files folder", false},
    {&FOLDERID_ProgramFilesX86, "the Program Files (x86) folder", false},
    {&FOLDERID_ProgramData, "the ProgramData folder", false},
    {&FOLDERID_UserProfiles, "the Users folder", false},
    {&FOLDERID_Profile, "your user profile folder", false},
    {&FOLDERID_Desktop, "your Desktop folder", false},
    {&FOLDERID_Documents, "your Documents folder", false},
    {&FOLDERID_Downloads, "your Downloads folder", false},
    {&FOLDERID_Music, "your Music folder", false},
    {&FOLDERID_Pictures, "your Pictures folder", false},
    {&FOLDERID_Videos, "your Videos folder", false},
    {&FOLDERID_SavedGames, "your Saved Games folder", false},
    {&FOLDERID_RoamingAppData, "your AppData\\Roaming folder", false},
    {&FOLDERID_LocalAppData, "your AppData\\Local folder", false},
    {&FOLDERID_Public, "the Public folder", false},
    {&FOLDERID_PublicDesktop, "the Public Desktop folder", false},
    {&FOLDERID_PublicDocuments, "the Public Documents folder", false},
    {&FOLDERID_PublicMusic, "the Public Music folder", false},
    {&FOLDERID_PublicPictures, "the Public Pictures folder", false},
    {&FOLDERID_PublicVideos, "the Public Videos folder", false},
    {&FOLDERID_StartMenu, "your Start menu folder", false},
    {&FOLDERID_Programs, "your Start menu's Programs folder", false},
    {&FOLDERID_CommonStartMenu, "the common Start menu folder", false},
    {&FOLDERID_CommonPrograms, "the common Start menu's Programs folder", false},
};

// "" for a known folder that this system does not have.
std::string KnownFolderPath(const KNOWNFOLDERID& id) {
  PWSTR path = nullptr;
  HRESULT result = SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, nullptr, &path);
  UniqueCoTaskMem<PWSTR> owned(path);
  return SUCCEEDED(result) && path ? Narrow(path) : std::string();
}

// A path as the names compare it: the part that exists as its final path,
// the rest as written, in upper case, without a trailing backslash.
std::string LongName(const std::string& path) {
  std::string full = GetAbsolutePathName(path), existing = full, rest;
  while (!existing.empty() && !FileSystem::FolderExists(existing) && !FileSystem::FileExists(existing)) {
    size_t slash = existing.find_last_of('\\');
    if (slash == std::string::npos) break;
    rest = existing.substr(slash) + rest;
    existing.resize(slash);
  }
  std::string final = existing.empty() ? std::string() : FileSystem::FinalPathOf(existing);
  std::string name = ToUpper((final.empty() ? existing : final) + rest);
  while (name.size() > 3 && name.back() == '\\') name.pop_back();
  return name;
}

// A folder the target must keep clear of, as it exists on this system.
struct Protected {
  std::string name;  // as a message names it
  std::string path;
  FolderId id;
  bool noFolderInside;
  bool runsOwn;  // the game's or the installer's folder, which the messages name as the run's own
  std::string longName;
};

std::vector<Protected> ProtectedFolders(const RunContext& run, bool withInstaller = true,
                                        const std::vector<std::string>& otherGames = {}) {
  std::vector<Protected> folders;
  auto add = [&](const std::string& name, const std::string& path, bool noFolderInside, bool runsOwn) {
    if (std::optional<FolderId> id = path.empty() ? std::nullopt : IdentityOf(path))
      folders.push_back({name, path, *id, noFolderInside, runsOwn, LongName(path)});
  };
  for (const SystemFolder& system : kSystemFolders)
    add(system.name, KnownFolderPath(*system.id), system.noFolderInside, false);
  add("the FlatOut Game Folder", run.plan.gameFolder, true, true);
  for (const std::string& game : otherGames) add("the FlatOut Game Folder", game, true, true);
  if (withInstaller) add("the folder of this installer", run.plan.installerFolder, false, true);
  return folders;
}

// Whether path is outer or lies inside it: by identity, which sees through
// every alias, and by name as well, which holds where an identity cannot be
// read. Either one is enough to keep clear.
bool IsWithin(const std::string& path, const std::string& outer, const FolderId& outerId) {
  if (IsSameOrInside(path, outerId)) return true;
  std::string inner = LongName(path), container = LongName(outer);
  return inner == container || inner.starts_with(container.ends_with("\\") ? container : container + "\\");
}

// Why a name cannot be a folder's, or "".
std::string WhyNotAName(const std::string& name) {
  if (name.empty()) return {};  // a doubled backslash names no folder of its own
  bool forbidden = std::any_of(name.begin(), name.end(), [](char c) {
    return static_cast<unsigned char>(c) < 32 || std::string_view("<>:\"/|?*").find(c) != std::string_view::npos;
  });
  if (forbidden || IsDeviceName(name) || name.back() == '.' || name.back() == ' ')
    return "\"" + name + "\" is not a possible folder name";
  return {};
}

// Why the missing folder (a full path) cannot be made with its parents, or "".
std::string WhyNotCreatable(const std::string& folder) {
  bool onDrive = folder.size() >= 3 && folder[1] == ':';
  if (onDrive && GetDriveTypeW(Widen(folder.substr(0, 3)).c_str()) == DRIVE_NO_ROOT_DIR)
    return "the drive " + folder.substr(0, 2) + " does not exist";
  if (folder.size() > kLongestTarget)
    return "its path is longer than " + std::to_string(kLongestTarget) + " characters, too long for the game's files";
  // Past the drive's root, or past the server and share of a network path.
  size_t at = onDrive ? 3 : folder.find('\\', folder.find('\\', 2) + 1) + 1;
  if (at == 0) return {};
  while (at < folder.size()) {
    size_t end = std::min(folder.find('\\', at), folder.size());
    if (std::string why = WhyNotAName(folder.substr(at, end - at)); !why.empty()) return why;
    std::string prefix = folder.substr(0, end);
    if (FileSystem::FileExists(prefix)) return "\"" + prefix + "\" is a file";
    at = end + 1;
  }
  return {};
}

bool IsDriveRoot(const std::string& path) {
  std::optional<FolderId> id = IdentityOf(path);
  if (!id) return false;
  std::vector<FileSystem::DriveRoot> roots = FileSystem::DriveRoots();
  return std::any_of(roots.begin(), roots.end(), [&](const auto& root) { return root.id == *id; });
}

// Why an existing target conflicts with a protected folder, or "".
// Why an existing target is, or holds, one of the folders (the system's
// and the user's, or the run's own), or "".
std::string ConflictOfExisting(const std::string& target, const FolderId& targetId,
                               const std::vector<Protected>& folders, bool runsOwn) {
  for (const Protected& folder : folders) {
    if (folder.runsOwn != runsOwn || !IsWithin(folder.path, target, targetId)) continue;
    if (runsOwn && folder.noFolderInside && (folder.id == targetId || LongName(folder.path) == LongName(target)))
      return "The ZEM7 Game Folder cannot match " + folder.name + ".";
    return "The ZEM7 Game Folder cannot " + std::string(runsOwn ? "" : "be or ") + "contain " + folder.name + ".";
  }
  return {};
}

// Why the target may not be used, or "".
std::string WhyNotATarget(const RunContext& run, const std::string& target, bool withInstaller = true,
                          const std::vector<std::string>& otherGames = {}) {
  if (target.size() <= 3 || (target.starts_with("\\\\") && std::count(target.begin(), target.end(), '\\') <= 3) ||
      IsDriveRoot(target))
    return "The ZEM7 Game Folder cannot be the root of a drive.";
  std::vector<Protected> folders = ProtectedFolders(run, withInstaller, otherGames);
  std::optional<FolderId> targetId = FileSystem::FolderExists(target) ? IdentityOf(target) : std::nullopt;
  if (targetId) {
    // The user's folders come before the link test, as under Wine they are
    // links themselves; the run's own after it, so that a link to the game
    // is named as a link.
    if (std::string conflict = ConflictOfExisting(target, *targetId, folders, false); !conflict.empty())
      return conflict;
    if (FileSystem::IsLink(target)) return "The ZEM7 Game Folder is a link to another folder.";
    if (std::string conflict = ConflictOfExisting(target, *targetId, folders, true); !conflict.empty()) return conflict;
    if (target.size() > kLongestTarget)
      return "The ZEM7 Game Folder's path is longer than " + std::to_string(kLongestTarget) +
             " characters, too long for the game's files.";
  }
  for (const Protected& folder : folders) {
    if (!folder.noFolderInside || !IsWithin(target, folder.path, folder.id)) continue;
    return "The ZEM7 Game Folder cannot lie inside " + folder.name + ".";
  }
  if (!targetId)
    if (std::string why = WhyNotCreatable(target); !why.empty())
      return "The ZEM7 Game Folder cannot be created: " + why + ".";
  return {};
}

}  // namespace

// The target is emptied on request and then filled; the game is only read.
bool IsSafeTarget(RunContext& run) {
  std::string target = GetAbsolutePathName(run.plan.zem7Folder);
  // A log of the user's choosing must survive the run: the target is
  // emptied, and the game is only read.
  bool ownLog = !EqualsIgnoreCase(run.plan.logPath, InstallPlan::ForInstallerFolder(run.plan.installerFolder).logPath);
  std::string reason = WhyNotATarget(run, target);
  bool logInside = false;
  if (reason.empty() && ownLog) {
    for (const std::string& folder : {target, GetAbsolutePathName(run.plan.gameFolder)}) {
      // A target yet to be made has no identity: its path tells.
      std::optional<FolderId> id = IdentityOf(folder);
      bool byName = ToUpper(run.plan.logPath).starts_with(ToUpper(folder) + "\\");
      logInside = logInside || byName || (id && IsSameOrInside(run.plan.logPath, *id));
    }
    if (logInside)
      reason = "The log file \"" + run.plan.logPath +
               "\" cannot lie inside the FlatOut Game Folder or the ZEM7 Game Folder.";
  }
  if (reason.empty()) return true;
  // The refusal itself must not land in a log that would harm the game or be emptied away.
  if (logInside) run.log.StopWritingTheFile();
  run.ui.ShowMessage(reason + "\r\nPlease select another location.", kTitle, MB_OK | MB_ICONHAND);
  return false;
}

std::string WhyNotAnInstallationFolder(const RunContext& run, const std::string& folder,
                                       const std::vector<std::string>& gameFolders) {
  return WhyNotATarget(run, GetAbsolutePathName(folder), false, gameFolders);
}

bool IsEarlierInstallationOrEmpty(RunContext& run, const std::string& target) {
  return FileSystem::FileExists(target + kRecordName) || FileSystem::FileExists(target + "FlatOut.exe") ||
         FileSystem::FolderExists(target + kHoldingFolderName) || !FileSystem::HoldsAnyFile(target, KeepAlive(run));
}

FileSystem::HeldTree::FolderCheck ProtectedFolderCheck(const RunContext& run) {
  return [folders = ProtectedFolders(run), roots = FileSystem::DriveRoots()](const std::string& path) -> std::string {
    std::optional<FolderId> id = IdentityOf(path);
    if (!id) return {};
    std::string longName = LongName(path);
    for (const Protected& folder : folders)
      if (folder.id == *id || folder.longName == longName)
        return "\"" + path + "\" is " + folder.name + ", reached through another name.";
    for (const FileSystem::DriveRoot& root : roots)
      if (root.id == *id) return "\"" + path + "\" is the root of the drive " + root.root.substr(0, 2) + ".";
    return {};
  };
}
