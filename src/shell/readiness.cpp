#include "shell/readiness.h"

#include <algorithm>
#include <cmath>

#include "fileops/batch_delete.h"
#include "fileops/file_system.h"
#include "shell/frm_main.h"
#include "support/error_report.h"
#include "support/handles.h"
#include "support/installer_state.h"
#include "support/path_helpers.h"
#include "support/runtime_error.h"
#include "support/text.h"

namespace {

constexpr const char* kTitle = "ZEM7 Installer";
constexpr unsigned kErrorBox = MB_OK | MB_ICONHAND;                          // 16
constexpr unsigned kQuestionBox = MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2;  // 292
constexpr int64_t kRequiredGigabytes = 5;

uint64_t RealFreeSpace(const std::string& driveRoot) {
  ULARGE_INTEGER totalFree{};
  if (!GetDiskFreeSpaceExW(Widen(driveRoot).c_str(), nullptr, nullptr, &totalFree)) ThrowLastError();
  return totalFree.QuadPart;
}

FreeSpaceProbe& Probe() {
  static FreeSpaceProbe probe = RealFreeSpace;
  return probe;
}

void Refuse(const std::string& text) { UI().ShowMessage(text, kTitle, kErrorBox); }

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

// The target is emptied on request and then filled: it must not be a drive,
// hold the game or the installer, or lie inside the game, which is only read.
bool IsSafeTarget() {
  std::string target = FullLongPath(State().ZEM7GameFolder);
  std::string game = FullLongPath(State().FlatOutGameFolder);
  std::string installer = FullLongPath(State().InstallerFolder);
  const char* reason = nullptr;
  if (target.size() <= 3 || (target.rfind("\\\\", 0) == 0 && std::count(target.begin(), target.end(), '\\') <= 3))
    reason = "The ZEM7 Game Folder cannot be the root of a drive.";
  else if (Contains(target, game))
    reason = "The ZEM7 Game Folder cannot contain the FlatOut Game Folder.";
  else if (Contains(game, target))
    reason = "The ZEM7 Game Folder cannot lie inside the FlatOut Game Folder.";
  else if (Contains(target, installer))
    reason = "The ZEM7 Game Folder cannot contain the folder of this installer.";
  if (!reason) return true;
  Refuse(std::string(reason) + "\r\nPlease select another location.");
  return false;
}

// Errors here are not reported: a drive that cannot be read counts as full.
bool HasEnoughSpace(const std::string& target) {
  if (target.size() < 2 || target[1] != ':' || !IsCharAlphaW(static_cast<wchar_t>(target[0]))) return true;
  std::string root = target.substr(0, 2) + "\\";
  if (GetDriveTypeW(Widen(root).c_str()) == DRIVE_NO_ROOT_DIR) return true;
  int64_t gigabytes = -1;
  try {
    gigabytes = WholeGigabytes(Probe()(root));
  } catch (const std::exception&) {
  }
  if (gigabytes >= kRequiredGigabytes) return true;
  Refuse(
      "The ZEM7 Mod cannot be installed, due to the lack of space on your harddrive.\r\n"
      "You need at least 5 Gigabyte of free space to install the mod.");
  return false;
}

}  // namespace

void SetFreeSpaceProbe(FreeSpaceProbe probe) { Probe() = probe ? std::move(probe) : RealFreeSpace; }

int64_t WholeGigabytes(uint64_t bytes) {
  double gigabytes = static_cast<double>(bytes) / 1024.0 / 1024.0 / 1024.0;
  return static_cast<int64_t>(std::nearbyint(gigabytes));  // the default rounding sends halves to even
}

bool FrmMain::CheckGameFileItem(bool p_blnFile, const std::string& p_strDescription, const std::string& p_strPath) {
  return TrapResult("frmMain::CheckGameFileItem", false, [&] {
    bool exists = p_blnFile ? FileSystem::FileExists(p_strPath) : FileSystem::FolderExists(p_strPath);
    if (!exists) Refuse("The " + p_strDescription + " does not exist, please check the location.");
    return exists;
  });
}

bool FrmMain::CheckIfReadyToInstall() {
  const std::string& game = State().FlatOutGameFolder;
  const std::string& target = State().ZEM7GameFolder;
  bool passed = TrapResult("frmMain::CheckIfReadyToInstall", false, [&] {
    if (ToUpper(game) == ToUpper(target)) {
      Refuse("The ZEM7 Game Folder cannot match the FlatOut Game Folder.\r\nPlease select another location.");
      return false;
    }
    if (!CheckGameFileItem(false, "FlatOut Game Folder", game) ||
        !CheckGameFileItem(true, "FlatOut Game EXE file", game + "FlatOut.exe") ||
        !CheckGameFileItem(true, "FlatOut Common 1 BFS", game + "Common1.bfs") ||
        !CheckGameFileItem(true, "FlatOut Common 2 BFS", game + "Common2.bfs"))
      return false;
    if (!IsPatched(game + "FlatOut.exe")) {
      Refuse("You have not installed the official 'FlatOut v1.1' Game Patch.\r\n"
             "This is required to enable the FlatOut ZEM7 mod to work.");
      return false;
    }
    if (!IsSafeTarget()) return false;
    if (FileSystem::FolderExists(target) && FolderHasEntries(target)) {
      int answer = UI().ShowMessage(
          "The ZEM7 Game Folder contains files, this folder must be empty.\r\n"
          "Do you wish to recreate this folder (all files will be deleted)?",
          kTitle, kQuestionBox);
      if (answer != IDYES) return false;
      BatchDeleteFolder(GetAbsolutePathName(target));
    }
    return true;
  });
  return passed && HasEnoughSpace(target);
}
