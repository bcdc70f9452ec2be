#include "support/shell_link.h"

#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>

#include "support/handles.h"
#include "support/runtime_error.h"
#include "support/text.h"

namespace {

void Check(HRESULT result) {
  if (FAILED(result)) throw RuntimeError(static_cast<int32_t>(result), SystemMessage(static_cast<DWORD>(result)));
}

}  // namespace

void SaveShortcut(const std::string& shortcutPath, const std::string& targetPath) {
  ComScope com;
  ComPtr<IShellLinkW> link;
  Check(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.ReceiveVoid()));
  Check(link->SetPath(Widen(targetPath).c_str()));
  ComPtr<IPersistFile> file;
  Check(link->QueryInterface(IID_IPersistFile, file.ReceiveVoid()));
  Check(file->Save(Widen(shortcutPath).c_str(), TRUE));
}
