// The window's controls: each made from its row of the layout table, with
// its tool tip, and all of them laid out again at each DPI.
#include <windows.h>
#include <commctrl.h>

#include "window/main_window.h"
#include "support/text.h"

namespace {

// The frames' class, whose procedure hands their notifications on to the window.
constexpr wchar_t kContainerClass[] = L"ZEM7InstallerContainer";

// Registered once for the process, as the window's class is.
void RegisterContainerClass(WNDPROC containerProc) {
  static bool registered = false;
  if (registered) return;
  WNDCLASSEXW container{};
  container.cbSize = sizeof(container);
  container.lpfnWndProc = containerProc;
  container.hInstance = GetModuleHandleW(nullptr);
  container.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  container.lpszClassName = kContainerClass;
  RegisterClassExW(&container);
  registered = true;
}

struct Creation {
  const wchar_t* className;
  DWORD style;
  DWORD extendedStyle;
};

Creation CreationFor(const ControlSpec& spec) {
  constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
  switch (spec.kind) {
    case ControlKind::Image: return {WC_STATICW, kChild | SS_BITMAP | SS_REALSIZECONTROL, 0};
    case ControlKind::Frame:
    case ControlKind::PictureBox:
    case ControlKind::ProgressBox: return {kContainerClass, kChild, WS_EX_CONTROLPARENT};
    case ControlKind::Label: {
      bool prompt = spec.id == ControlId::GameFolderPrompt || spec.id == ControlId::TargetFolderPrompt;
      return {WC_STATICW, kChild | (prompt ? SS_LEFT : SS_CENTER) | SS_NOTIFY | SS_NOPREFIX, 0};
    }
    case ControlKind::TextBox:
      if (spec.id == ControlId::ProgressText)
        return {WC_EDITW, kChild | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY,
                WS_EX_CLIENTEDGE};
      return {WC_EDITW, kChild | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
    case ControlKind::PictureButton:
    case ControlKind::Button: return {WC_BUTTONW, kChild | WS_TABSTOP | BS_OWNERDRAW, 0};
  }
  return {WC_STATICW, kChild, 0};
}

}  // namespace

void MainWindow::CreateControls() {
  RegisterContainerClass(&MainWindow::ContainerProc);
  for (const ControlSpec& spec : MainWindowControls()) {
    HWND parent = spec.parent == ControlId::None ? hwnd_ : Control(spec.parent);
    Creation how = CreationFor(spec);
    HWND control = CreateWindowExW(
        how.extendedStyle, how.className, Widen(spec.caption.In(language_)).c_str(), how.style, 0, 0, 0, 0, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(spec.id)), GetModuleHandleW(nullptr), this);
    controls_[spec.id] = control;
  }
  // The progress entries of a whole installation must fit, whatever their length.
  SendMessageW(Control(ControlId::ProgressText), EM_SETLIMITTEXT, 0, 0);
}

void MainWindow::CreateToolTips() {
  HWND tips =
      CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                      CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, GetModuleHandleW(nullptr), nullptr);
  for (const ControlSpec& spec : MainWindowControls()) {
    if (spec.toolTip.Empty()) continue;
    std::wstring text = Widen(spec.toolTip.In(language_));
    TOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = hwnd_;
    tool.uId = reinterpret_cast<UINT_PTR>(Control(spec.id));
    tool.lpszText = text.data();
    SendMessageW(tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  }
}

void MainWindow::ApplyLayout(UINT dpi) {
  dpi_ = dpi;
  SizeClientArea(TwipsToPixels(kClientWidthTwips, dpi), TwipsToPixels(kClientHeightTwips, dpi));
  // The controls show the old pictures until they get the new ones.
  std::vector<UniqueGdiObject> retired = painter_.StartDpi(dpi);
  for (const ControlSpec& spec : MainWindowControls()) {
    HWND control = Control(spec.id);
    int width = TwipsToPixels(spec.width, dpi), height = TwipsToPixels(spec.height, dpi);
    MoveWindow(control, TwipsToPixels(spec.left, dpi), TwipsToPixels(spec.top, dpi), width, height, TRUE);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(painter_.Font(spec.font)), TRUE);
    if (spec.artwork == Artwork::None) continue;
    // The folder picture keeps its own size (19 by 17 at 96 DPI) in the middle of its button.
    bool onButton = spec.artwork == Artwork::FolderButton;
    HBITMAP picture = painter_.Picture(spec, onButton ? MulDiv(19, static_cast<int>(dpi), 96) : width,
                                       onButton ? MulDiv(17, static_cast<int>(dpi), 96) : height);
    if (spec.kind == ControlKind::Image)
      SendMessageW(control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture));
  }
  InvalidateRect(hwnd_, nullptr, TRUE);
}

// Measured rather than computed from the style: the frame's real size at this
// DPI is what the system draws, which a computed size does not always match.
void MainWindow::SizeClientArea(int width, int height) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    RECT window, client;
    GetWindowRect(hwnd_, &window);
    GetClientRect(hwnd_, &client);
    int frameWidth = (window.right - window.left) - client.right;
    int frameHeight = (window.bottom - window.top) - client.bottom;
    SetWindowPos(hwnd_, nullptr, 0, 0, width + frameWidth, height + frameHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}
