#pragma once
// The Win32 building blocks that the file operations share: retries of a
// refusal that passes, links handled as themselves, and the walks over a
// folder's entries. Internal to the file operations.
#include <windows.h>

#include <string>

#include "fileops/file_system.h"
#include "support/handles.h"
#include "support/runtime_error.h"

namespace Win32File {

inline DWORD Attributes(const std::wstring& path) { return GetFileAttributesW(path.c_str()); }

inline bool IsFolder(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

inline bool IsLinkAttributes(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// A program that has just ended (or a virus scanner) may hold a file for a
// moment; such a refusal is worth a few short retries before it is an error.
template <typename Operation>
bool Retried(Operation&& operation) {
  constexpr int kAttempts = 20;
  for (int attempt = 1;; ++attempt) {
    if (operation()) return true;
    DWORD error = GetLastError();
    if ((error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION) || attempt == kAttempts) {
      SetLastError(error);
      return false;
    }
    Sleep(50);
  }
}

std::wstring WithoutTrailingBackslash(std::wstring path);
// "D:\\Into\\" + "C:\\From\\Name" names "D:\\Into\\Name"; any other destination names itself.
std::wstring ResolveDestination(const std::wstring& source, const std::wstring& destination);

// Opens a link or junction itself, never what it names; see the definition.
UniqueFile OpenLinkItself(const std::wstring& path, DWORD access);
// Removes a link through a handle to the link itself.
bool RemoveLink(const std::wstring& path);

// Calls visit(name, attributes) for every entry of folder but "." and "..";
// a folder that cannot be listed is an error.
template <typename Visit>
void ForEachEntry(const std::wstring& folder, Visit&& visit) {
  WIN32_FIND_DATAW found;
  UniqueFind search(FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                                     FIND_FIRST_EX_LARGE_FETCH));
  if (!search) ThrowLastError();
  do {
    std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") visit(name, found);
  } while (FindNextFileW(search.Get(), &found));
  if (GetLastError() != ERROR_NO_MORE_FILES) ThrowLastError();
}

// Calls visit(path, findData) for every file below folder, links to folders
// counted as files and never entered, until visit returns false; false then.
template <typename Visit>
bool ForEachFile(const std::wstring& folder, const FileSystem::Pulse& pulse, Visit&& visit) {
  WIN32_FIND_DATAW found;
  UniqueFind search(FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                                     FIND_FIRST_EX_LARGE_FETCH));
  if (!search) return true;
  do {
    std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    std::wstring path = folder + L"\\" + name;
    bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !IsLinkAttributes(found.dwFileAttributes);
    if (pulse) pulse();
    if (!(isFolder ? ForEachFile(path, pulse, visit) : visit(path, found))) return false;
  } while (FindNextFileW(search.Get(), &found));
  return true;
}

}  // namespace Win32File
