#include "support/virtual_store.h"

#include <windows.h>
#include <shlobj.h>

#include "support/handles.h"
#include "support/text.h"

std::string VirtualStoreOf(const std::string& folder) {
  if (folder.size() < 4 || folder[1] != ':' || folder[2] != '\\') return {};
  PWSTR local = nullptr;
  HRESULT result = SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_DONT_VERIFY, nullptr, &local);
  UniqueCoTaskMem<PWSTR> owned(local);
  if (FAILED(result) || !local) return {};
  std::string path = Narrow(local) + "\\VirtualStore\\" + folder.substr(3);
  while (path.ends_with("\\")) path.pop_back();
  return path;
}
