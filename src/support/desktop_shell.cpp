#include "support/desktop_shell.h"

#include <windows.h>
#include <exdisp.h>
#include <oleauto.h>
#include <servprov.h>
#include <shldisp.h>
#include <shlobj.h>

#include "support/handles.h"
#include "support/text.h"

namespace {

// A BSTR owned for one call.
class OwnedBstr {
 public:
  explicit OwnedBstr(const std::string& text) : text_(SysAllocString(Widen(text).c_str())) {}
  ~OwnedBstr() { SysFreeString(text_); }
  OwnedBstr(const OwnedBstr&) = delete;
  OwnedBstr& operator=(const OwnedBstr&) = delete;
  BSTR Get() const { return text_; }

 private:
  BSTR text_;
};

VARIANT Text(BSTR text) {
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_BSTR;
  value.bstrVal = text;
  return value;
}

// The desktop window's view, asked through Explorer's list of shell windows.
ComPtr<IShellView> DesktopView() {
  ComPtr<IShellWindows> windows;
  ComPtr<IDispatch> desktop;
  ComPtr<IServiceProvider> services;
  ComPtr<IShellBrowser> browser;
  ComPtr<IShellView> view;
  VARIANT location, root;
  VariantInit(&location);
  VariantInit(&root);
  location.vt = VT_I4;
  location.lVal = CSIDL_DESKTOP;
  long window = 0;
  if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                              windows.ReceiveVoid())) ||
      windows->FindWindowSW(&location, &root, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, desktop.Receive()) != S_OK ||
      !desktop || FAILED(desktop->QueryInterface(IID_IServiceProvider, services.ReceiveVoid())) ||
      FAILED(services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.ReceiveVoid())) ||
      FAILED(browser->QueryActiveShellView(view.Receive())))
    return {};
  return view;
}

// The shell's own automation object, which runs in Explorer's process.
ComPtr<IShellDispatch2> ShellOf(const ComPtr<IShellView>& view) {
  ComPtr<IDispatch> background, application;
  ComPtr<IShellFolderViewDual> folderView;
  ComPtr<IShellDispatch2> shell;
  if (FAILED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.ReceiveVoid())) ||
      FAILED(background->QueryInterface(IID_IShellFolderViewDual, folderView.ReceiveVoid())) ||
      FAILED(folderView->get_Application(application.Receive())) ||
      FAILED(application->QueryInterface(IID_IShellDispatch2, shell.ReceiveVoid())))
    return {};
  return shell;
}

}  // namespace

bool StartThroughDesktopShell(const std::string& program, const std::string& folder, int windowStyle) {
  ComScope com;
  ComPtr<IShellView> view = DesktopView();
  ComPtr<IShellDispatch2> shell = view ? ShellOf(view) : ComPtr<IShellDispatch2>();
  if (!shell) return false;
  OwnedBstr file(program), workingFolder(folder), operation(""), none("");
  VARIANT arguments = Text(none.Get()), directory = Text(workingFolder.Get()), verb = Text(operation.Get());
  VARIANT show;
  VariantInit(&show);
  show.vt = VT_I4;
  show.lVal = windowStyle;
  return SUCCEEDED(shell->ShellExecute(file.Get(), arguments, directory, verb, show));
}
