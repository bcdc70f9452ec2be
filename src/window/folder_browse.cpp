#include "window/folder_browse.h"

#include <windows.h>
#include <shlobj.h>

#include "support/handles.h"
#include "support/text.h"

namespace {

// The dialog hands back the structure's lParam, here the folder to preselect.
int CALLBACK BrowseCallbackProc(HWND dialog, UINT message, LPARAM, LPARAM initialFolder) {
  auto folder = reinterpret_cast<const std::wstring*>(initialFolder);
  if (message == BFFM_INITIALIZED && folder && !folder->empty())
    SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(folder->c_str()));
  return 0;
}

}  // namespace

std::string BrowseForFolder(const std::string& initialFolder, HWND owner, const std::string& title, unsigned flags) {
  wchar_t displayName[MAX_PATH] = {};
  std::wstring prompt = Widen(title);
  std::wstring start = Widen(initialFolder);
  BROWSEINFOW info{};
  info.hwndOwner = owner;
  info.pszDisplayName = displayName;
  info.lpszTitle = prompt.empty() ? nullptr : prompt.c_str();
  info.ulFlags = flags;
  info.lpfn = BrowseCallbackProc;
  info.lParam = reinterpret_cast<LPARAM>(&start);

  UniqueCoTaskMem<PIDLIST_ABSOLUTE> chosen(SHBrowseForFolderW(&info));
  if (!chosen.Get()) return {};
  wchar_t path[MAX_PATH] = {};
  return SHGetPathFromIDListW(chosen.Get(), path) ? Narrow(path) : std::string();
}
