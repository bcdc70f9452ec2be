#include "shell/folder_browse.h"

#include <windows.h>
#include <shlobj.h>

#include "support/text.h"

namespace {
// The folder to preselect, read by the callback when the dialog opens.
std::wstring m_strInitialFolder;
}  // namespace

int CALLBACK BrowseCallbackProc(HWND hwnd, UINT message, LPARAM, LPARAM) {
  if (message == BFFM_INITIALIZED && !m_strInitialFolder.empty())
    SendMessageW(hwnd, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(m_strInitialFolder.c_str()));
  return 0;
}

std::string BrowseForFolder(const std::string& p_strInitialFolder, HWND p_lngOwnerWindow, const std::string& p_strTitle,
                            unsigned p_lngFlags) {
  wchar_t displayName[MAX_PATH] = {};
  std::wstring title = Widen(p_strTitle);
  BROWSEINFOW info{};
  info.hwndOwner = p_lngOwnerWindow;
  info.pszDisplayName = displayName;
  info.lpszTitle = title.empty() ? nullptr : title.c_str();
  info.ulFlags = p_lngFlags;
  info.lpfn = BrowseCallbackProc;
  m_strInitialFolder = Widen(p_strInitialFolder);

  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
  if (!chosen) return {};
  wchar_t path[MAX_PATH] = {};
  bool isFileSystemFolder = SHGetPathFromIDListW(chosen, path);
  CoTaskMemFree(chosen);
  return isFileSystemFolder ? Narrow(path) : std::string();
}
