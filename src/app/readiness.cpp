#include "app/readiness.h"

#include <algorithm>
#include <cmath>

#include <windows.h>
#include <shlobj.h>

#include "fileops/batch_delete.h"
#include "fileops/file_system.h"
#include "support/error_report.h"
#include "support/handles.h"
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

// Full path with ".." resolved and short names expanded, without trailing
// backslash; the part that does not exist yet is kept as written.
std::string FullLongPath(const std::string& path) {
  std::string full = GetAbsolutePathName(path);
  std::string existing = full, rest;
  while (!existing.empty() && !FileSystem::FolderExists(existing)) {
    size_t slash = existing.find_last_of('\\');
    if (slash == std::string::npos) break;
    rest = existing.substr(slash) + rest;
    existing.resize(slash);
  }
  std::wstring buffer(32768, L'\0');
  DWORD length = GetLongPathNameW(Widen(existing).c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
  std::string longForm = length ? Narrow(buffer.substr(0, length)) : existing;
  std::string result = longForm + rest;
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

// The folders the system and its users need. The installer runs elevated, so
// emptying one of them, or a folder holding one, is within its reach.
constexpr SystemFolder kSystemFolders[] = {
    {&FOLDERID_Windows, "the Windows folder", true},
    {&FOLDERID_ProgramFiles, "the Program Files folder", false},
    {&FOLDERID_ProgramFilesX86, "the Program Files (x86) folder", false},
    {&FOLDERID_ProgramData, "the ProgramData folder", false},
    {&FOLDERID_UserProfiles, "the Users folder", false},
    {&FOLDERID_Profile, "your user profile folder", false},
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

// The target is emptied on request and then filled: it must not be a drive
// or a system folder, hold the game or the installer, or lie inside the game,
// which is only read.
bool IsSafeTarget(RunContext& run) {
  std::string target = FullLongPath(run.plan.zem7Folder);
  std::string game = FullLongPath(run.plan.gameFolder);
  std::string installer = FullLongPath(run.plan.installerFolder);
  std::string reason;
  if (target.size() <= 3 || (target.rfind("\\\\", 0) == 0 && std::count(target.begin(), target.end(), '\\') <= 3))
    reason = "The ZEM7 Game Folder cannot be the root of a drive.";
  else if (std::string conflict = SystemFolderConflict(target); !conflict.empty())
    reason = conflict;
  else if (Contains(target, game))
    reason = "The ZEM7 Game Folder cannot contain the FlatOut Game Folder.";
  else if (Contains(game, target))
    reason = "The ZEM7 Game Folder cannot lie inside the FlatOut Game Folder.";
  else if (Contains(target, installer))
    reason = "The ZEM7 Game Folder cannot contain the folder of this installer.";
  if (reason.empty()) return true;
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

// Reported under the checks' name: the deletion is their last step.
bool EmptyTargetFolder(RunContext& run) {
  return TrapResult(run.reporter, kLocation, false, [&] {
    BatchDeleteFolder(run, GetAbsolutePathName(run.plan.zem7Folder));
    return true;
  });
}

// Errors here are not reported: a drive that cannot be read counts as full.
bool HasEnoughSpace(RunContext& run, const FreeSpaceProbe& probe) {
  const std::string& target = run.plan.zem7Folder;
  if (target.size() < 2 || target[1] != ':' || !IsCharAlphaW(static_cast<wchar_t>(target[0]))) return true;
  std::string root = target.substr(0, 2) + "\\";
  if (GetDriveTypeW(Widen(root).c_str()) == DRIVE_NO_ROOT_DIR) return true;
  int64_t gigabytes = -1;
  try {
    gigabytes = WholeGigabytes(probe(root));
  } catch (const std::exception&) {
  }
  if (gigabytes >= kRequiredGigabytes) return true;
  Refuse(run,
         "The ZEM7 Mod cannot be installed, due to the lack of space on your harddrive.\r\n"
         "You need at least 5 Gigabyte of free space to install the mod.");
  return false;
}
