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
  if (FAILED(result))
    throw RuntimeError(static_cast<int32_t>(result), Message::SystemError(static_cast<uint32_t>(result)));
}

ComPtr<IShellLinkW> NewShellLink() {
  ComPtr<IShellLinkW> link;
  Check(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.ReceiveVoid()));
  return link;
}

ComPtr<IPersistFile> FileOf(const ComPtr<IShellLinkW>& link) {
  ComPtr<IPersistFile> file;
  Check(link->QueryInterface(IID_IPersistFile, file.ReceiveVoid()));
  return file;
}

}  // namespace

void SaveShortcut(const std::string& shortcutPath, const std::string& targetPath, const std::string& workingFolder) {
  ComScope com;
  ComPtr<IShellLinkW> link = NewShellLink();
  Check(link->SetPath(Widen(targetPath).c_str()));
  Check(link->SetWorkingDirectory(Widen(workingFolder).c_str()));
  Check(FileOf(link)->Save(Widen(shortcutPath).c_str(), TRUE));
}

std::string ReadShortcutTarget(const std::string& shortcutPath) {
  ComScope com;
  try {
    ComPtr<IShellLinkW> link = NewShellLink();
    Check(FileOf(link)->Load(Widen(shortcutPath).c_str(), STGM_READ));
    wchar_t target[MAX_PATH] = {};
    Check(link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH));
    return Narrow(target);
  } catch (const RuntimeError&) {
    return {};
  }
}
