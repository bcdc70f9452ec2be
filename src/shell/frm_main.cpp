#include "shell/frm_main.h"

#include <windows.h>
#include <commctrl.h>
#include <windowsx.h>

#include "shell/artwork.h"
#include "support/installer_state.h"
#include "support/text.h"

namespace {

constexpr wchar_t kWindowClass[] = L"ZEM7InstallerWindow";
constexpr wchar_t kContainerClass[] = L"ZEM7InstallerContainer";

int ControlIdOf(HWND control) { return GetDlgCtrlID(control); }

void RegisterClasses(WNDPROC windowProc, WNDPROC containerProc) {
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

  WNDCLASSEXW container{};
  container.cbSize = sizeof(container);
  container.lpfnWndProc = containerProc;
  container.hInstance = instance;
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
    case ControlKind::Frame: return {kContainerClass, kChild, WS_EX_CONTROLPARENT};
    case ControlKind::PictureBox:
    case ControlKind::ProgressBox: return {kContainerClass, kChild, WS_EX_CONTROLPARENT};
    case ControlKind::Label: {
      DWORD align = spec.id == IDT_lblInfo1 || spec.id == IDT_lblInfo2 ? SS_LEFT : SS_CENTER;
      return {WC_STATICW, kChild | align | SS_NOTIFY | SS_NOPREFIX, 0};
    }
    case ControlKind::TextBox:
      if (spec.id == IDE_txtProgress)
        return {WC_EDITW, kChild | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY,
                WS_EX_CLIENTEDGE};
      return {WC_EDITW, kChild | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
    case ControlKind::PictureButton:
    case ControlKind::Button: return {WC_BUTTONW, kChild | WS_TABSTOP | BS_OWNERDRAW, 0};
  }
  return {WC_STATICW, kChild, 0};
}

HCURSOR CursorFor(MousePointer pointer) {
  return LoadCursorW(nullptr, pointer == MousePointer::Hourglass ? IDC_WAIT : IDC_ARROW);
}

}  // namespace

FrmMain& frmMain() {
  static FrmMain window;
  return window;
}

FrmMain::~FrmMain() {
  if (hwnd_) DestroyWindow(hwnd_);
  if (accelerators_) DestroyAcceleratorTable(accelerators_);
}

void FrmMain::Load() {
  if (hwnd_) return;
  INITCOMMONCONTROLSEX common{};
  common.dwSize = sizeof(common);
  common.dwICC = ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES;
  InitCommonControlsEx(&common);
  RegisterClasses(&FrmMain::WindowProc, &FrmMain::ContainerProc);
  constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
  CreateWindowExW(WS_EX_CONTROLPARENT, kWindowClass, Widen(kWindowTitle).c_str(), kStyle, CW_USEDEFAULT,
                  CW_USEDEFAULT, 100, 100, nullptr, nullptr, GetModuleHandleW(nullptr), this);
  if (!hwnd_) return;
  dpi_ = GetDpiForWindow(hwnd_);
  CreateControls();
  CreateToolTips();
  ApplyLayout(dpi_);
  ACCEL installKey{FALT | FVIRTKEY, 'M', IDB_cmdInstall};
  accelerators_ = CreateAcceleratorTableW(&installKey, 1);
}

void FrmMain::Show() {
  if (!hwnd_) return;
  ShowWindow(hwnd_, SW_SHOW);
  UpdateWindow(hwnd_);
}

HWND FrmMain::Control(ControlId id) const {
  auto found = controls_.find(id);
  return found == controls_.end() ? nullptr : found->second;
}

std::string FrmMain::Text(ControlId id) const {
  HWND control = Control(id);
  if (!control) return {};
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
  return Narrow(text);
}

void FrmMain::SetText(ControlId id, const std::string& text) {
  if (HWND control = Control(id)) SetWindowTextW(control, Widen(text).c_str());
}

bool FrmMain::TranslateKeyboard(MSG& message) {
  if (!hwnd_) return false;
  if (accelerators_ && TranslateAcceleratorW(hwnd_, accelerators_, &message)) return true;
  return IsDialogMessageW(hwnd_, &message);
}

void FrmMain::CreateControls() {
  for (const ControlSpec& spec : MainWindowControls()) {
    HWND parent = spec.parent ? Control(static_cast<ControlId>(spec.parent)) : hwnd_;
    Creation how = CreationFor(spec);
    HWND control = CreateWindowExW(how.extendedStyle, how.className, Widen(spec.caption).c_str(), how.style, 0, 0, 0,
                                   0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(spec.id)),
                                   GetModuleHandleW(nullptr), this);
    controls_[spec.id] = control;
  }
  // The progress entries of a whole installation must fit, whatever their length.
  SendMessageW(Control(IDE_txtProgress), EM_SETLIMITTEXT, 0, 0);
}

void FrmMain::CreateToolTips() {
  HWND tips = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, GetModuleHandleW(nullptr),
                              nullptr);
  for (const ControlSpec& spec : MainWindowControls()) {
    if (!spec.toolTip) continue;
    std::wstring text = Widen(spec.toolTip);
    TOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = hwnd_;
    tool.uId = reinterpret_cast<UINT_PTR>(Control(spec.id));
    tool.lpszText = text.data();
    SendMessageW(tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  }
}

void FrmMain::ApplyLayout(UINT dpi) {
  dpi_ = dpi;
  SizeClientArea(TwipsToPixels(kClientWidthTwips, dpi), TwipsToPixels(kClientHeightTwips, dpi));
  fonts_.clear();
  std::vector<UniqueGdiObject> oldPictures = std::move(pictures_);
  pictures_.clear();
  for (const ControlSpec& spec : MainWindowControls()) {
    HWND control = Control(spec.id);
    int width = TwipsToPixels(spec.width, dpi), height = TwipsToPixels(spec.height, dpi);
    MoveWindow(control, TwipsToPixels(spec.left, dpi), TwipsToPixels(spec.top, dpi), width, height, TRUE);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(Font(spec.font)), TRUE);
    if (spec.artwork == Artwork::None) continue;
    // The folder picture keeps its own size (19 by 17 at 96 DPI) in the middle of its button.
    bool onButton = spec.artwork == Artwork::FolderButton;
    HBITMAP picture = DrawArtwork(spec.artwork, onButton ? MulDiv(19, static_cast<int>(dpi), 96) : width,
                                  onButton ? MulDiv(17, static_cast<int>(dpi), 96) : height);
    pictures_.emplace_back(picture);
    pictureOf_[spec.id] = picture;
    if (spec.kind == ControlKind::Image) SendMessageW(control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture));
  }
  InvalidateRect(hwnd_, nullptr, TRUE);
}

// Measured rather than computed from the style: the frame's real size at this
// DPI is what the system draws, which a computed size does not always match.
void FrmMain::SizeClientArea(int width, int height) {
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

HFONT FrmMain::Font(const FontSpec& spec) {
  int key = spec.tenthsOfPoint * 2 + (spec.bold ? 1 : 0);
  auto found = fonts_.find(key);
  if (found != fonts_.end()) return static_cast<HFONT>(found->second.Get());
  HFONT font = CreateFontW(-MulDiv(spec.tenthsOfPoint, static_cast<int>(dpi_), 720), 0, 0, 0,
                           spec.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH, L"Tahoma");
  fonts_.emplace(key, UniqueGdiObject(font));
  return font;
}

HBRUSH FrmMain::Brush(COLORREF colour) {
  auto found = brushes_.find(colour);
  if (found == brushes_.end()) found = brushes_.emplace(colour, UniqueGdiObject(CreateSolidBrush(colour))).first;
  return static_cast<HBRUSH>(found->second.Get());
}

const ControlSpec* FrmMain::SpecOf(HWND control) const {
  int id = ControlIdOf(control);
  for (const ControlSpec& spec : MainWindowControls())
    if (spec.id == id) return &spec;
  return nullptr;
}

// Every coloured control of the window gets its colours here.
HBRUSH FrmMain::OnControlColour(HDC dc, HWND control) {
  const ControlSpec* spec = SpecOf(control);
  if (!spec) return nullptr;
  bool systemColours = spec->id == IDT_lblPercent;
  COLORREF background = systemColours ? GetSysColor(COLOR_WINDOW) : spec->background;
  COLORREF text = systemColours ? GetSysColor(COLOR_WINDOWTEXT) : spec->text;
  if (background == kNoColour) {
    if (spec->kind != ControlKind::TextBox) return nullptr;
    background = GetSysColor(COLOR_WINDOW);
  }
  SetTextColor(dc, text == kNoColour ? GetSysColor(COLOR_WINDOWTEXT) : text);
  SetBkColor(dc, background);
  return Brush(background);
}

void FrmMain::PaintContainer(HWND hwnd, HDC dc) {
  RECT client;
  GetClientRect(hwnd, &client);
  int id = ControlIdOf(hwnd);
  const ControlSpec* spec = SpecOf(hwnd);
  COLORREF background = spec && spec->background != kNoColour ? spec->background : GetSysColor(COLOR_WINDOW);
  FillRect(dc, &client, Brush(background));
  if (id == IDP_picProgress && barEntries_ > 0) {
    // Entries past the scale fill the whole bar; the rectangle is clipped at the edge.
    RECT bar{0, 0, MulDiv(barEntries_, client.right, barScale_), client.bottom};
    FillRect(dc, &bar, Brush(kBarColour));
  }
}

void FrmMain::OnDrawItem(const DRAWITEMSTRUCT& item) {
  const ControlSpec* spec = SpecOf(item.hwndItem);
  if (!spec) return;
  RECT area = item.rcItem;
  FillRect(item.hDC, &area, Brush(spec->background));
  bool pressed = item.itemState & ODS_SELECTED;
  DrawEdge(item.hDC, &area, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
  int shift = pressed ? 1 : 0;
  if (spec->kind == ControlKind::PictureButton) {
    HBITMAP picture = pictureOf_[spec->id];
    BITMAP size{};
    GetObjectW(picture, sizeof(size), &size);
    HDC source = CreateCompatibleDC(item.hDC);
    HGDIOBJ previous = SelectObject(source, picture);
    BitBlt(item.hDC, (area.right - size.bmWidth) / 2 + shift, (area.bottom - size.bmHeight) / 2 + shift,
           size.bmWidth, size.bmHeight, source, 0, 0, SRCCOPY);
    SelectObject(source, previous);
    DeleteDC(source);
  } else {
    std::wstring caption = Widen(spec->caption);
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, spec->text);
    HGDIOBJ previous = SelectObject(item.hDC, Font(spec->font));
    RECT text = area;
    OffsetRect(&text, shift, shift);
    UINT prefix = (item.itemState & ODS_NOACCEL) ? DT_HIDEPREFIX : 0;
    DrawTextW(item.hDC, caption.c_str(), -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE | prefix);
    SelectObject(item.hDC, previous);
  }
  if (item.itemState & ODS_FOCUS) {
    RECT focus = area;
    InflateRect(&focus, -3, -3);
    DrawFocusRect(item.hDC, &focus);
  }
}

bool FrmMain::OnSetCursor(HWND over) {
  if (pointer_ == MousePointer::Hourglass) {
    SetCursor(CursorFor(pointer_));
    return true;
  }
  if (over == Control(IDT_lblWebsite)) {
    SetCursor(LoadCursorW(nullptr, IDC_HAND));
    return true;
  }
  return false;
}

void FrmMain::OnCommand(int id, int code) {
  bool clicked = code == BN_CLICKED || code == 1 /* accelerator */;
  if (!clicked) return;
  switch (id) {
    case IDB_cmdFlatOutGameFolder: cmdFlatOutGameFolder_Click(); break;
    case IDB_cmdZEM7GameFolder: cmdZEM7GameFolder_Click(); break;
    case IDB_cmdInstall: cmdInstall_Click(); break;
    case IDT_lblWebsite: lblWebsite_Click(); break;
    default: break;
  }
}

void FrmMain::OnClose() {
  // Closing in the middle would leave a half-built folder and steps writing to a window that is gone.
  if (State().Installing) {
    ShowMessage("The installation is still running and cannot be stopped safely.\r\n"
                "Please wait until it has finished.",
                "ZEM7 Installer", MB_OK | MB_ICONINFORMATION);
    return;
  }
  Unload();
}

LRESULT CALLBACK FrmMain::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto self = static_cast<FrmMain*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto self = reinterpret_cast<FrmMain*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
  return self->OnMessage(message, wParam, lParam);
}

LRESULT CALLBACK FrmMain::ContainerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE)
    SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
  auto self = reinterpret_cast<FrmMain*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
  return self->OnContainerMessage(hwnd, message, wParam, lParam);
}

LRESULT FrmMain::OnContainerMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(hwnd, &paint);
      PaintContainer(hwnd, dc);
      EndPaint(hwnd, &paint);
      return 0;
    }
    // The frames only hold controls; their notifications belong to the window.
    case WM_COMMAND:
    case WM_DRAWITEM:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN: return OnMessage(message, wParam, lParam);
    default: return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

LRESULT FrmMain::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND: OnCommand(LOWORD(wParam), HIWORD(wParam)); return 0;
    case WM_DRAWITEM: OnDrawItem(*reinterpret_cast<DRAWITEMSTRUCT*>(lParam)); return TRUE;
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
      FillRect(reinterpret_cast<HDC>(wParam), &client, Brush(kWindowBackground));
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

int FrmMain::ShowMessage(const std::string& text, const std::string& title, unsigned style) {
  return MessageBoxW(hwnd_, Widen(text).c_str(), Widen(title).c_str(), style);
}

void FrmMain::SetMousePointer(MousePointer pointer) {
  pointer_ = pointer;
  SetCursor(CursorFor(pointer));
}

void FrmMain::ShowProgress(int entryCount, int scale, const std::string& percentText) {
  barEntries_ = entryCount;
  barScale_ = scale;
  if (!hwnd_) return;
  InvalidateRect(Control(IDP_picProgress), nullptr, FALSE);
  UpdateWindow(Control(IDP_picProgress));
  SetText(IDT_lblPercent, percentText);
}

void FrmMain::PrependProgressText(const std::string& entry) {
  HWND box = Control(IDE_txtProgress);
  if (!hwnd_ || !box) return;
  // Inserting at the start keeps each entry's cost independent of the text already shown.
  SendMessageW(box, EM_SETSEL, 0, 0);
  SendMessageW(box, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(Widen(entry).c_str()));
  SendMessageW(box, EM_SETSEL, 0, 0);
  SendMessageW(box, EM_SCROLLCARET, 0, 0);
  UpdateWindow(box);
}

void FrmMain::PumpMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // Leave it for the program's own message loop.
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    if (TranslateKeyboard(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void FrmMain::Unload() {
  if (!hwnd_) return;
  HWND window = hwnd_;
  DestroyWindow(window);
  controls_.clear();
}
