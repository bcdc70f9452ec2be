#include "support/virtual_store.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>

#include "support/handles.h"
#include "support/text.h"

namespace {

// Asks twice: once for the size, once for the text; "" when the call fails.
template <typename Call>
std::wstring SizedText(Call&& call) {
  DWORD size = call(nullptr, 0);
  if (size == 0) return {};
  std::wstring text(size, L'\0');
  DWORD length = call(text.data(), size);
  if (length == 0 || length >= size) return {};
  text.resize(length);
  return text;
}

// "X:\..." with "." and ".." resolved and no trailing backslash, so that
// "C:\Program Files\..\Games" is not taken for a folder below Program Files.
// "" for anything but a full path on a drive letter.
std::wstring DrivePath(const std::wstring& path) {
  if (path.size() < 3 || path[1] != L':' || path[2] != L'\\') return {};
  std::wstring full =
      SizedText([&](wchar_t* buffer, DWORD size) { return GetFullPathNameW(path.c_str(), size, buffer, nullptr); });
  if (full.size() < 3 || full[1] != L':' || full[2] != L'\\') return {};
  while (full.size() > 3 && full.back() == L'\\') full.pop_back();
  return full;
}

// "C:\PROGRA~1\Game" and "C:\Program Files\Game" are one folder. Only what
// exists has a long name to find: the rest of the path, a folder still to be
// made or already removed, stays as written.
std::wstring LongForm(const std::wstring& path) {
  for (std::wstring existing = path; existing.size() > 3;) {
    std::wstring resolved =
        SizedText([&](wchar_t* buffer, DWORD size) { return GetLongPathNameW(existing.c_str(), buffer, size); });
    if (!resolved.empty()) return resolved + path.substr(existing.size());
    existing.resize(existing.find_last_of(L'\\'));
  }
  return path;
}

std::wstring Canonical(const std::string& path) { return LongForm(DrivePath(Widen(path))); }

// By whole components, as the file system compares names: "C:\Program
// Filesx" is not below "C:\Program Files".
bool AtOrBelow(const std::wstring& path, const std::wstring& location) {
  size_t length = location.size();
  if (length == 0 || path.size() < length) return false;
  if (path.size() > length && path[length] != L'\\') return false;
  return CompareStringOrdinal(path.c_str(), static_cast<int>(length), location.c_str(), static_cast<int>(length),
                              TRUE) == CSTR_EQUAL;
}

std::string KnownFolder(REFKNOWNFOLDERID id, HANDLE token) {
  PWSTR path = nullptr;
  HRESULT result = SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, token, &path);
  UniqueCoTaskMem<PWSTR> owned(path);
  if (FAILED(result) || !path) return {};
  return Narrow(path);
}

// "C:", the drive Windows runs from: the only one whose folders it virtualises.
std::string SystemDrive() {
  std::wstring windows =
      SizedText([](wchar_t* buffer, DWORD size) { return GetSystemWindowsDirectoryW(buffer, size); });
  if (windows.size() < 2 || windows[1] != L':') return {};
  return Narrow(windows.substr(0, 2));
}

std::vector<std::string> VirtualisedLocations() {
  std::string drive = SystemDrive();
  if (drive.empty()) return {};
  std::vector<std::string> locations;
  for (const KNOWNFOLDERID* id :
       {&FOLDERID_ProgramFiles, &FOLDERID_ProgramFilesX86, &FOLDERID_ProgramData, &FOLDERID_Windows}) {
    std::string location = KnownFolder(*id, nullptr);
    if (location.size() > 3 && location[2] == '\\' && EqualsIgnoreCase(location.substr(0, 2), drive))
      locations.push_back(location);
  }
  return locations;
}

// The token of the desktop's shell: the player's, also when this installer
// runs elevated, perhaps as another (administrator) account. None when no
// shell runs or its process cannot be opened.
UniqueHandle DesktopUserToken() {
  HWND shell = GetShellWindow();
  DWORD processId = 0;
  if (!shell || !GetWindowThreadProcessId(shell, &processId) || processId == 0) return {};
  UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  HANDLE token = nullptr;
  if (!process || !OpenProcessToken(process.Get(), TOKEN_QUERY | TOKEN_IMPERSONATE | TOKEN_DUPLICATE, &token))
    return {};
  return UniqueHandle(token);
}

// The player's "AppData\Local". Without a shell to ask, the player is taken
// to be the user this process runs as; so also where the system cannot look
// up another user's folders (Wine knows only the current user's).
std::string PlayersLocalAppData() {
  if (UniqueHandle token = DesktopUserToken()) {
    if (std::string local = KnownFolder(FOLDERID_LocalAppData, token.Get()); !local.empty()) return local;
  }
  return KnownFolder(FOLDERID_LocalAppData, nullptr);
}

}  // namespace

std::string VirtualStoreFor(const std::string& folder, const std::vector<std::string>& virtualised,
                            const std::string& localAppData) {
  std::wstring path = Canonical(folder);
  if (path.empty() || localAppData.empty()) return {};
  if (std::none_of(virtualised.begin(), virtualised.end(),
                   [&](const std::string& location) { return AtOrBelow(path, Canonical(location)); }))
    return {};
  std::string store = localAppData;
  while (store.ends_with("\\")) store.pop_back();
  store += "\\VirtualStore";
  // The folder's path below its drive's root ("C:\Program Files\..." gives "Program Files\...").
  if (path.size() > 3) store.append("\\").append(Narrow(path.substr(3)));
  return store;
}

std::string VirtualStoreOf(const std::string& folder) {
  std::vector<std::string> virtualised = VirtualisedLocations();
  if (virtualised.empty()) return {};
  return VirtualStoreFor(folder, virtualised, PlayersLocalAppData());
}
