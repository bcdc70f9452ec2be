#include "support/shell_link.h"

#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>

#include "support/runtime_error.h"
#include "support/text.h"

namespace {

// COM for the current thread, for as long as the shortcut is being made.
class ComScope {
 public:
  ComScope() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComScope() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  HRESULT result_;
};

template <typename Interface>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() {
    if (pointer_) pointer_->Release();
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  Interface** Receive() { return &pointer_; }
  Interface* operator->() const { return pointer_; }

 private:
  Interface* pointer_ = nullptr;
};

void Check(HRESULT result) {
  if (FAILED(result)) throw RuntimeError(static_cast<int32_t>(result), SystemMessage(static_cast<DWORD>(result)));
}

}  // namespace

void SaveShortcut(const std::string& shortcutPath, const std::string& targetPath) {
  ComScope com;
  ComPtr<IShellLinkW> link;
  Check(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                         reinterpret_cast<void**>(link.Receive())));
  Check(link->SetPath(Widen(targetPath).c_str()));
  ComPtr<IPersistFile> file;
  Check(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.Receive())));
  Check(file->Save(Widen(shortcutPath).c_str(), TRUE));
}
