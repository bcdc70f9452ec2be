#include "app/readiness.h"

#include <algorithm>
#include <cmath>

#include <windows.h>
#include <shlobj.h>

#include "fileops/file_system.h"
#include "support/error_report.h"
#include "support/handles.h"
#include "support/keep_alive.h"
#include "support/path_helpers.h"
#include "support/runtime_error.h"
#include "support/text.h"

namespace {

constexpr const char* kTitle = "ZEM7 Installer";
constexpr unsigned kErrorBox = MB_OK | MB_ICONHAND;                            // 16
constexpr unsigned kQuestionBox = MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2;  // 292
constexpr int64_t kRequiredGigabytes = 5;
constexpr const char* kLocation = "frmMain::CheckIfReadyToInstall";

void Refuse(RunContext& run, const std::string& text) { run.ui.ShowMessage(text, kTitle, kErrorBox); }

bool IsPatched(const std::string& executable) {
  UniqueFile file(CreateFileW(Widen(executable).c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr));
  FILETIME written{}, local{};
  SYSTEMTIME date{};
  if (!file || !GetFileTime(file.Get(), nullptr, nullptr, &written) || !FileTimeToLocalFileTime(&written, &local) ||
      !FileTimeToSystemTime(&local, &date))
    ThrowLastError();
  // The official 1.1 patch dates from December 2004.
  return !(date.wMonth < 12 && date.wYear <= 2004);
}

bool FolderHasEntries(const std::string& folder) {
  WIN32_FIND_DATAW found;
  UniqueFind search(FindFirstFileW(Widen(folder + "*").c_str(), &found));
  if (!search) return false;
  do {
    std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") return true;
  } while (FindNextFileW(search.Get(), &found));
  return false;
}

// Where an existing folder really is: links, junctions (and, under Wine,
// Linux symbolic links) resolved, short names expanded; "" when it cannot be opened.
std::string FinalPathOf(const std::string& existing) {
  UniqueFile folder(CreateFileW(Widen(existing).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!folder) return {};
  std::wstring buffer(32768, L'\0');
  DWORD length = GetFinalPathNameByHandleW(folder.Get(), buffer.data(), static_cast<DWORD>(buffer.size()),
                                           FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (length == 0 || length >= buffer.size()) return {};
  std::string path = Narrow(buffer.substr(0, length));
  if (path.starts_with("\\\\?\\UNC\\")) return "\\\\" + path.substr(7);
  if (path.starts_with("\\\\?\\")) return path.substr(4);
  return path;
}

// The full path as the checks compare it: upper case, no trailing backslash,
// the part that exists as its final path and the rest as written.
std::string FullLongPath(const std::string& path) {
  std::string full = GetAbsolutePathName(path);
  std::string existing = full, rest;
  while (!existing.empty() && !FileSystem::FolderExists(existing)) {
    size_t slash = existing.find_last_of('\\');
    if (slash == std::string::npos) break;
    rest = existing.substr(slash) + rest;
    existing.resize(slash);
  }
  std::string resolved = FinalPathOf(existing);
  std::string result = (resolved.empty() ? existing : resolved) + rest;
  while (result.size() > 3 && result.back() == '\\') result.pop_back();
  return ToUpper(result);
}

bool Contains(const std::string& outer, const std::string& inner) {
  std::string prefix = outer.back() == '\\' ? outer : outer + "\\";
  return inner == outer || inner.rfind(prefix, 0) == 0;
}

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

// Why target may not be used because of a system folder, or "".
std::string SystemFolderConflict(const std::string& target) {
  for (const SystemFolder& system : kSystemFolders) {
    std::string path = KnownFolderPath(*system.id);
    if (path.empty()) continue;
    std::string folder = FullLongPath(path);
    if (Contains(target, folder)) return std::string("The ZEM7 Game Folder cannot be or contain ") + system.name + ".";
    if (system.noFolderInside && Contains(folder, target))
      return std::string("The ZEM7 Game Folder cannot lie inside ") + system.name + ".";
  }
  return {};
}

bool IsReservedName(const std::string& name) {
  std::string base = ToUpper(name.substr(0, name.find('.')));
  for (const char* device : {"CON", "PRN", "AUX", "NUL"})
    if (base == device) return true;
  return base.size() == 4 && (base.starts_with("COM") || base.starts_with("LPT")) && base[3] >= '1' && base[3] <= '9';
}

// Why a name cannot be a folder's, or "".
std::string WhyNotAName(const std::string& name) {
  if (name.empty()) return {};  // a doubled backslash names no folder of its own
  bool forbidden = std::any_of(name.begin(), name.end(), [](char c) {
    return static_cast<unsigned char>(c) < 32 || std::string_view("<>:\"/|?*").find(c) != std::string_view::npos;
  });
  if (forbidden || IsReservedName(name) || name.back() == '.' || name.back() == ' ')
    return "\"" + name + "\" is not a possible folder name";
  return {};
}

// The game's files lie a few folders deep below the target, and the mod's
// tools are old programs that know no path longer than MAX_PATH.
constexpr size_t kRoomForGameFiles = 100;
constexpr size_t kLongestTarget = MAX_PATH - 1 - kRoomForGameFiles;

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

// The target is emptied on request and then filled: it must not be a drive
// or a system folder, hold the game or the installer, or lie inside the game,
// which is only read.
bool IsSafeTarget(RunContext& run) {
  std::string target = FullLongPath(run.plan.zem7Folder);
  std::string game = FullLongPath(run.plan.gameFolder);
  std::string installer = FullLongPath(run.plan.installerFolder);
  // A log of the user's choosing must survive the run: the target is
  // emptied, and the game is only read.
  bool ownLog = !EqualsIgnoreCase(run.plan.logPath, InstallPlan::ForInstallerFolder(run.plan.installerFolder).logPath);
  std::string log = ownLog ? FullLongPath(run.plan.logPath) : std::string();
  std::string reason;
  if (target.size() <= 3 || (target.rfind("\\\\", 0) == 0 && std::count(target.begin(), target.end(), '\\') <= 3))
    reason = "The ZEM7 Game Folder cannot be the root of a drive.";
  else if (std::string conflict = SystemFolderConflict(target); !conflict.empty())
    reason = conflict;
  else if (FileSystem::IsLink(run.plan.zem7Folder))
    reason = "The ZEM7 Game Folder is a link to another folder.";
  else if (Contains(target, game))
    reason = "The ZEM7 Game Folder cannot contain the FlatOut Game Folder.";
  else if (Contains(game, target))
    reason = "The ZEM7 Game Folder cannot lie inside the FlatOut Game Folder.";
  else if (Contains(target, installer))
    reason = "The ZEM7 Game Folder cannot contain the folder of this installer.";
  else if (ownLog && (Contains(target, log) || Contains(game, log)))
    reason =
        "The log file \"" + run.plan.logPath + "\" cannot lie inside the FlatOut Game Folder or the ZEM7 Game Folder.";
  else if (std::string why = FileSystem::FolderExists(run.plan.zem7Folder)
                                 ? std::string()
                                 : WhyNotCreatable(GetAbsolutePathName(run.plan.zem7Folder));
           !why.empty())
    reason = "The ZEM7 Game Folder cannot be created: " + why + ".";
  if (reason.empty()) return true;
  // The refusal itself must not land in a log that would harm the game or be emptied away.
  if (ownLog && !log.empty() && (Contains(target, log) || Contains(game, log))) run.log.StopWritingTheFile();
  Refuse(run, reason + "\r\nPlease select another location.");
  return false;
}

}  // namespace

uint64_t DriveFreeSpace(const std::string& driveRoot) {
  ULARGE_INTEGER totalFree{};
  if (!GetDiskFreeSpaceExW(Widen(driveRoot).c_str(), nullptr, nullptr, &totalFree)) ThrowLastError();
  return totalFree.QuadPart;
}

int64_t WholeGigabytes(uint64_t bytes) {
  double gigabytes = static_cast<double>(bytes) / 1024.0 / 1024.0 / 1024.0;
  return static_cast<int64_t>(std::nearbyint(gigabytes));  // the default rounding sends halves to even
}

bool CheckGameFileItem(RunContext& run, bool isFile, const std::string& description, const std::string& path) {
  return TrapResult(run.reporter, "frmMain::CheckGameFileItem", false, [&] {
    bool exists = isFile ? FileSystem::FileExists(path) : FileSystem::FolderExists(path);
    if (!exists) Refuse(run, "The " + description + " does not exist, please check the location.");
    return exists;
  });
}

Readiness CheckIfReadyToInstall(RunContext& run) {
  const std::string& game = run.plan.gameFolder;
  const std::string& target = run.plan.zem7Folder;
  return TrapResult(run.reporter, kLocation, Readiness::Refused, [&] {
    if (ToUpper(game) == ToUpper(target)) {
      Refuse(run, "The ZEM7 Game Folder cannot match the FlatOut Game Folder.\r\nPlease select another location.");
      return Readiness::Refused;
    }
    if (!CheckGameFileItem(run, false, "FlatOut Game Folder", game) ||
        !CheckGameFileItem(run, true, "FlatOut Game EXE file", game + "FlatOut.exe") ||
        !CheckGameFileItem(run, true, "FlatOut Common 1 BFS", game + "Common1.bfs") ||
        !CheckGameFileItem(run, true, "FlatOut Common 2 BFS", game + "Common2.bfs"))
      return Readiness::Refused;
    if (!IsPatched(game + "FlatOut.exe")) {
      Refuse(run,
             "You have not installed the official 'FlatOut v1.1' Game Patch.\r\n"
             "This is required to enable the FlatOut ZEM7 mod to work.");
      return Readiness::Refused;
    }
    if (!IsSafeTarget(run)) return Readiness::Refused;
    if (!FileSystem::FolderExists(target) || !FolderHasEntries(target)) return Readiness::Ready;
    int answer = run.ui.Ask(Question::RecreateTarget,
                            "The ZEM7 Game Folder contains files, this folder must be empty.\r\n"
                            "Do you wish to recreate this folder (all files will be deleted)?",
                            kTitle, kQuestionBox);
    return answer == IDYES ? Readiness::ReadyOnceEmptied : Readiness::Refused;
  });
}

std::string WhyNotDeletable(uint32_t error) {
  if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)
    return "is in use by another program.\r\nPlease close that program (is the game running?) and try again.";
  if (error == ERROR_NOT_A_REPARSE_POINT)
    return "is a link that cannot be removed without going through it to the folder it names.\r\n"
           "Please remove that link yourself and try again.";
  return "cannot be deleted (" + SystemMessage(error) + ").\r\nPlease select another location.";
}

// Every file of the target is opened for deletion, without sharing, and
// closed again: a file that a program holds (the game, started from there)
// stops "recreate" before anything is deleted.
bool CanEmptyTargetFolder(RunContext& run) {
  return TrapResult(run.reporter, kLocation, false, [&] {
    auto blocked = FileSystem::FirstUndeletableFile(run.plan.zem7Folder, KeepAlive(run));
    if (!blocked) return true;
    Refuse(run, "The ZEM7 Game Folder cannot be emptied: \"" + blocked->path + "\" " + WhyNotDeletable(blocked->error));
    return false;
  });
}

// Errors here are not reported: a drive that cannot be read counts as full.
bool HasEnoughSpace(RunContext& run, const FreeSpaceProbe& probe, uint64_t freedFirst) {
  const std::string& target = run.plan.zem7Folder;
  if (target.size() < 2 || target[1] != ':' || !IsCharAlphaW(static_cast<wchar_t>(target[0]))) return true;
  std::string root = target.substr(0, 2) + "\\";
  if (GetDriveTypeW(Widen(root).c_str()) == DRIVE_NO_ROOT_DIR) return true;
  int64_t gigabytes = -1;
  try {
    gigabytes = WholeGigabytes(probe(root) + freedFirst);
  } catch (const std::exception&) {
  }
  if (gigabytes >= kRequiredGigabytes) return true;
  Refuse(run,
         "The ZEM7 Mod cannot be installed, due to the lack of space on your harddrive.\r\n"
         "You need at least 5 Gigabyte of free space to install the mod.");
  return false;
}
