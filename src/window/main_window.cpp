#include "window/main_window.h"

#include <windows.h>
#include <commctrl.h>

#include "support/runtime_error.h"
#include "support/text.h"

namespace {

constexpr wchar_t kWindowClass[] = L"ZEM7InstallerWindow";

ControlId ControlIdOf(HWND control) { return static_cast<ControlId>(GetDlgCtrlID(control)); }

// Window classes belong to the process: registered once, whichever window comes first.
void RegisterWindowClass(WNDPROC windowProc) {
  static bool registered = false;
  if (registered) return;
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW window{};
  window.cbSize = sizeof(window);
  window.lpfnWndProc = windowProc;
  window.hInstance = instance;
  window.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  window.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window.lpszClassName = kWindowClass;
  RegisterClassExW(&window);
  registered = true;
}

// A click on a button or label, or the install accelerator. A double-click on
// the website label sends a click and then STN_DBLCLK, whose code 1 is also
// the accelerators' code: only the accelerator comes without a control.
bool IsClick(WPARAM wParam, LPARAM lParam) {
  WORD code = HIWORD(wParam);
  return code == BN_CLICKED || (code == 1 && lParam == 0);
}

// The key that the caption marks with "&", as the button shows it underlined:
// each language marks a letter of its own.
WORD AcceleratorKey(const std::string& caption) {
  std::wstring text = Widen(caption);
  size_t mark = text.find(L'&');
  if (mark == std::wstring::npos || mark + 1 >= text.size()) return 0;
  // The key that types it on the keyboard in use; none where no key does.
  SHORT key = VkKeyScanW(text[mark + 1]);
  return key == -1 ? 0 : LOBYTE(key);
}

HCURSOR CursorFor(MousePointer pointer) {
  return LoadCursorW(nullptr, pointer == MousePointer::Hourglass ? IDC_WAIT : IDC_ARROW);
}

}  // namespace

MainWindow::~MainWindow() { Destroy(); }

void MainWindow::Create(WindowCommands& commands, ErrorReporter& reporter) {
  if (hwnd_) return;
  commands_ = &commands;
  reporter_ = &reporter;
  INITCOMMONCONTROLSEX common{};
  common.dwSize = sizeof(common);
  common.dwICC = ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES;
  InitCommonControlsEx(&common);
  RegisterWindowClass(&MainWindow::WindowProc);
  constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
  CreateWindowExW(WS_EX_CONTROLPARENT, kWindowClass, Widen(Title()).c_str(), kStyle, CW_USEDEFAULT, CW_USEDEFAULT, 100,
                  100, nullptr, nullptr, GetModuleHandleW(nullptr), this);
  if (!hwnd_) ThrowLastError();
  dpi_ = GetDpiForWindow(hwnd_);
  CreateControls();
  CreateToolTips();
  ApplyLayout(dpi_);
  ACCEL installKey{FALT | FVIRTKEY, AcceleratorKey(Text(ControlId::InstallButton)),
                   static_cast<WORD>(ControlId::InstallButton)};
  accelerators_.Reset(CreateAcceleratorTableW(&installKey, 1));
}

HWND MainWindow::FindOpen() { return FindWindowW(kWindowClass, nullptr); }

void MainWindow::Show() {
  if (!hwnd_) return;
  ShowWindow(hwnd_, SW_SHOW);
  UpdateWindow(hwnd_);
}

void MainWindow::Destroy() {
  if (!hwnd_) return;
  DestroyWindow(hwnd_);
  controls_.clear();
}

HWND MainWindow::Control(ControlId id) const {
  auto found = controls_.find(id);
  return found == controls_.end() ? nullptr : found->second;
}

std::string MainWindow::Text(ControlId id) const {
  HWND control = Control(id);
  if (!control) return {};
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
  return Narrow(text);
}

void MainWindow::SetText(ControlId id, const std::string& text) {
  if (HWND control = Control(id)) SetWindowTextW(control, Widen(text).c_str());
}

bool MainWindow::TranslateKeyboard(MSG& message) {
  if (!hwnd_) return false;
  if (accelerators_ && TranslateAcceleratorW(hwnd_, accelerators_.Get(), &message)) return true;
  return IsDialogMessageW(hwnd_, &message);
}

void MainWindow::SetMousePointer(MousePointer pointer) {
  pointer_ = pointer;
  SetCursor(CursorFor(pointer));
}

void MainWindow::SetProgressBar(int entries, int scale) {
  barEntries_ = entries;
  barScale_ = scale;
  if (!hwnd_) return;
  // Painted with the entry's text when the entry pumps the window's messages:
  // under Wine a paint forced here costs each entry a millisecond more.
  InvalidateRect(Control(ControlId::ProgressBar), nullptr, FALSE);
}

void MainWindow::PaintContainer(HWND container) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(container, &paint);
  RECT client;
  GetClientRect(container, &client);
  painter_.PaintContainer(dc, client, FindControlSpec(ControlIdOf(container)), barEntries_, barScale_);
  EndPaint(container, &paint);
}

HBRUSH MainWindow::OnControlColour(HDC dc, HWND control) {
  const ControlSpec* spec = FindControlSpec(ControlIdOf(control));
  return spec ? painter_.ControlColours(dc, *spec) : nullptr;
}

bool MainWindow::OnSetCursor(HWND over) {
  if (pointer_ == MousePointer::Hourglass) {
    SetCursor(CursorFor(pointer_));
    return true;
  }
  if (over == Control(ControlId::WebsiteLabel)) {
    SetCursor(LoadCursorW(nullptr, IDC_HAND));
    return true;
  }
  return false;
}

// The window's user data holds its MainWindow: Win32 hands a window procedure
// nothing else to find its object by.
LRESULT CALLBACK MainWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
  return self->OnMessage(message, wParam, lParam);
}

LRESULT CALLBACK MainWindow::ContainerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE)
    SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
  auto self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
  return self->OnContainerMessage(hwnd, message, wParam, lParam);
}

LRESULT MainWindow::OnContainerMessage(HWND container, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: PaintContainer(container); return 0;
    // The frames only hold controls; their notifications belong to the window.
    case WM_COMMAND:
    case WM_DRAWITEM:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN: return OnMessage(message, wParam, lParam);
    default: return DefWindowProcW(container, message, wParam, lParam);
  }
}

LRESULT MainWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (IsClick(wParam, lParam)) OnCommand(static_cast<ControlId>(LOWORD(wParam)));
      return 0;
    case WM_DRAWITEM: {
      const auto& item = *reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
      if (const ControlSpec* spec = FindControlSpec(ControlIdOf(item.hwndItem))) painter_.DrawButton(item, *spec);
      return TRUE;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN: {
      if (HBRUSH brush = OnControlColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)))
        return reinterpret_cast<LRESULT>(brush);
      break;
    }
    case WM_ERASEBKGND: {
      RECT client;
      GetClientRect(hwnd_, &client);
      painter_.PaintBackground(reinterpret_cast<HDC>(wParam), client);
      return 1;
    }
    case WM_SETCURSOR:
      if (OnSetCursor(reinterpret_cast<HWND>(wParam))) return TRUE;
      break;
    case WM_DPICHANGED: {
      const RECT& suggested = *reinterpret_cast<RECT*>(lParam);
      SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                   suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
      ApplyLayout(HIWORD(wParam));
      return 0;
    }
    case WM_CLOSE: OnClose(); return 0;
    case WM_DESTROY:
      hwnd_ = nullptr;
      PostQuitMessage(0);
      return 0;
    default: break;
  }
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}
