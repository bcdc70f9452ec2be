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

struct SystemFolder {
  const KNOWNFOLDERID* id;
  TextId name;
  bool noFolderInside;  // a folder in it may well be the system's own, and nothing of a game belongs there
};

// The folders the system and its users need, and those that hold the user's
// own files. The installer runs elevated, so emptying one of them, or a
// folder holding one, is within its reach. A new folder inside most of them
// is a fine place for a game.
constexpr SystemFolder kSystemFolders[] = {
    {&FOLDERID_Windows, IDS_FOLDER_WINDOWS, true},
    {&FOLDERID_ProgramFiles, IDS_FOLDER_PROGRAM_FILES, false},
    {&FOLDERID_ProgramFilesX86, IDS_FOLDER_PROGRAM_FILES_X86, false},
    {&FOLDERID_ProgramData, IDS_FOLDER_PROGRAM_DATA, false},
    {&FOLDERID_UserProfiles, IDS_FOLDER_USERS, false},
    {&FOLDERID_Profile, IDS_FOLDER_PROFILE, false},
    {&FOLDERID_Desktop, IDS_FOLDER_DESKTOP, false},
    {&FOLDERID_Documents, IDS_FOLDER_DOCUMENTS, false},
    {&FOLDERID_Downloads, IDS_FOLDER_DOWNLOADS, false},
    {&FOLDERID_Music, IDS_FOLDER_MUSIC, false},
    {&FOLDERID_Pictures, IDS_FOLDER_PICTURES, false},
    {&FOLDERID_Videos, IDS_FOLDER_VIDEOS, false},
    {&FOLDERID_SavedGames, IDS_FOLDER_SAVED_GAMES, false},
    {&FOLDERID_RoamingAppData, IDS_FOLDER_ROAMING, false},
    {&FOLDERID_LocalAppData, IDS_FOLDER_LOCAL, false},
    {&FOLDERID_Public, IDS_FOLDER_PUBLIC, false},
    {&FOLDERID_PublicDesktop, IDS_FOLDER_PUBLIC_DESKTOP, false},
    {&FOLDERID_PublicDocuments, IDS_FOLDER_PUBLIC_DOCUMENTS, false},
    {&FOLDERID_PublicMusic, IDS_FOLDER_PUBLIC_MUSIC, false},
    {&FOLDERID_PublicPictures, IDS_FOLDER_PUBLIC_PICTURES, false},
    {&FOLDERID_PublicVideos, IDS_FOLDER_PUBLIC_VIDEOS, false},
    {&FOLDERID_StartMenu, IDS_FOLDER_START_MENU, false},
    {&FOLDERID_Programs, IDS_FOLDER_PROGRAMS, false},
    {&FOLDERID_CommonStartMenu, IDS_FOLDER_COMMON_START_MENU, false},
    {&FOLDERID_CommonPrograms, IDS_FOLDER_COMMON_PROGRAMS, false},
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
  TextId name;  // as a message names it
  std::string path;
  FolderId id;
  bool noFolderInside;
  bool runsOwn;  // the game's or the installer's folder, which the messages name as the run's own
  std::string longName;
};

std::vector<Protected> ProtectedFolders(const RunContext& run, bool withInstaller = true,
                                        const std::vector<std::string>& otherGames = {}) {
  std::vector<Protected> folders;
  auto add = [&](TextId name, const std::string& path, bool noFolderInside, bool runsOwn) {
    if (std::optional<FolderId> id = path.empty() ? std::nullopt : IdentityOf(path))
      folders.push_back({name, path, *id, noFolderInside, runsOwn, LongName(path)});
  };
  for (const SystemFolder& system : kSystemFolders)
    add(system.name, KnownFolderPath(*system.id), system.noFolderInside, false);
  add(IDS_FOLDER_GAME, run.plan.gameFolder, true, true);
  for (const std::string& game : otherGames) add(IDS_FOLDER_GAME, game, true, true);
  if (withInstaller) add(IDS_FOLDER_INSTALLER, run.plan.installerFolder, false, true);
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

// Why a name cannot be a folder's, or nothing.
Message WhyNotAName(const std::string& name) {
  if (name.empty()) return std::string();  // a doubled backslash names no folder of its own
  bool forbidden = std::any_of(name.begin(), name.end(), [](char c) {
    return static_cast<unsigned char>(c) < 32 || std::string_view("<>:\"/|?*").find(c) != std::string_view::npos;
  });
  if (forbidden || IsDeviceName(name) || name.back() == '.' || name.back() == ' ')
    return Message(IDS_NOT_A_FOLDER_NAME, {name});
  return std::string();
}

// Why the missing folder (a full path) cannot be made with its parents, or nothing.
Message WhyNotCreatable(const std::string& folder) {
  bool onDrive = folder.size() >= 3 && folder[1] == ':';
  if (onDrive && GetDriveTypeW(Widen(folder.substr(0, 3)).c_str()) == DRIVE_NO_ROOT_DIR)
    return Message(IDS_NO_SUCH_DRIVE, {folder.substr(0, 2)});
  if (folder.size() > kLongestTarget) return Message(IDS_PATH_TOO_LONG, {std::to_string(kLongestTarget)});
  // Past the drive's root, or past the server and share of a network path.
  size_t at = onDrive ? 3 : folder.find('\\', folder.find('\\', 2) + 1) + 1;
  if (at == 0) return std::string();
  while (at < folder.size()) {
    size_t end = std::min(folder.find('\\', at), folder.size());
    if (Message why = WhyNotAName(folder.substr(at, end - at)); !why.Empty()) return why;
    std::string prefix = folder.substr(0, end);
    if (FileSystem::FileExists(prefix)) return Message(IDS_IS_A_FILE, {prefix});
    at = end + 1;
  }
  return std::string();
}

bool IsDriveRoot(const std::string& path) {
  std::optional<FolderId> id = IdentityOf(path);
  if (!id) return false;
  std::vector<FileSystem::DriveRoot> roots = FileSystem::DriveRoots();
  return std::any_of(roots.begin(), roots.end(), [&](const auto& root) { return root.id == *id; });
}

// Why an existing target is, or holds, one of the folders (the system's
// and the user's, or the run's own), or nothing.
Message ConflictOfExisting(const std::string& target, const FolderId& targetId, const std::vector<Protected>& folders,
                           bool runsOwn) {
  for (const Protected& folder : folders) {
    if (folder.runsOwn != runsOwn || !IsWithin(folder.path, target, targetId)) continue;
    if (runsOwn && folder.noFolderInside && (folder.id == targetId || LongName(folder.path) == LongName(target)))
      return Message(IDS_TARGET_MATCHES, {folder.name});
    return Message(runsOwn ? IDS_TARGET_CONTAINS : IDS_TARGET_IS_OR_CONTAINS, {folder.name});
  }
  return std::string();
}

// Why the target may not be used, or nothing.
Message WhyNotATarget(const RunContext& run, const std::string& target, bool withInstaller = true,
                      const std::vector<std::string>& otherGames = {}) {
  if (target.size() <= 3 || (target.starts_with("\\\\") && std::count(target.begin(), target.end(), '\\') <= 3) ||
      IsDriveRoot(target))
    return IDS_TARGET_IS_ROOT;
  std::vector<Protected> folders = ProtectedFolders(run, withInstaller, otherGames);
  std::optional<FolderId> targetId = FileSystem::FolderExists(target) ? IdentityOf(target) : std::nullopt;
  if (targetId) {
    // The user's folders come before the link test, as under Wine they are
    // links themselves; the run's own after it, so that a link to the game
    // is named as a link.
    if (Message conflict = ConflictOfExisting(target, *targetId, folders, false); !conflict.Empty()) return conflict;
    if (FileSystem::IsLink(target)) return IDS_TARGET_IS_LINK;
    if (Message conflict = ConflictOfExisting(target, *targetId, folders, true); !conflict.Empty()) return conflict;
    if (target.size() > kLongestTarget) return Message(IDS_TARGET_TOO_LONG, {std::to_string(kLongestTarget)});
  }
  for (const Protected& folder : folders) {
    if (!folder.noFolderInside || !IsWithin(target, folder.path, folder.id)) continue;
    return Message(IDS_TARGET_INSIDE, {folder.name});
  }
  if (!targetId)
    if (Message why = WhyNotCreatable(target); !why.Empty()) return Message(IDS_TARGET_NOT_CREATABLE, {why});
  return std::string();
}

}  // namespace

// The target is emptied on request and then filled; the game is only read.
bool IsSafeTarget(RunContext& run) {
  std::string target = GetAbsolutePathName(run.plan.zem7Folder);
  // A log of the user's choosing must survive the run: the target is
  // emptied, and the game is only read.
  bool ownLog = !EqualsIgnoreCase(run.plan.logPath, InstallPlan::ForInstallerFolder(run.plan.installerFolder).logPath);
  Message reason = WhyNotATarget(run, target);
  bool logInside = false;
  if (reason.Empty() && ownLog) {
    for (const std::string& folder : {target, GetAbsolutePathName(run.plan.gameFolder)}) {
      // A target yet to be made has no identity: its path tells.
      std::optional<FolderId> id = IdentityOf(folder);
      bool byName = ToUpper(run.plan.logPath).starts_with(ToUpper(folder) + "\\");
      logInside = logInside || byName || (id && IsSameOrInside(run.plan.logPath, *id));
    }
    if (logInside) reason = Message(IDS_LOG_IN_FOLDERS, {run.plan.logPath});
  }
  if (reason.Empty()) return true;
  // The refusal itself must not land in a log that would harm the game or be emptied away.
  if (logInside) run.log.StopWritingTheFile();
  run.ui.ShowMessage(Message(IDS_SELECT_ANOTHER, {reason}), IDS_TITLE_INSTALLER, MB_OK | MB_ICONHAND);
  return false;
}

Message WhyNotAnInstallationFolder(const RunContext& run, const std::string& folder,
                                   const std::vector<std::string>& gameFolders) {
  return WhyNotATarget(run, GetAbsolutePathName(folder), false, gameFolders);
}

bool IsEarlierInstallationOrEmpty(RunContext& run, const std::string& target) {
  return FileSystem::FileExists(target + kRecordName) || FileSystem::FileExists(target + "FlatOut.exe") ||
         FileSystem::FolderExists(target + kHoldingFolderName) || !FileSystem::HoldsAnyFile(target, KeepAlive(run));
}

FileSystem::HeldTree::FolderCheck ProtectedFolderCheck(const RunContext& run) {
  return [folders = ProtectedFolders(run), roots = FileSystem::DriveRoots()](const std::string& path) -> Message {
    std::optional<FolderId> id = IdentityOf(path);
    if (!id) return std::string();
    std::string longName = LongName(path);
    for (const Protected& folder : folders)
      if (folder.id == *id || folder.longName == longName) return Message(IDS_REACHED_OTHERWISE, {path, folder.name});
    for (const FileSystem::DriveRoot& root : roots)
      if (root.id == *id) return Message(IDS_DRIVE_ROOT_INSIDE, {path, root.root.substr(0, 2)});
    return std::string();
  };
}
