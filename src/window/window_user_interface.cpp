#include "window/window_user_interface.h"

#include <windows.h>

#include "support/report_text.h"
#include "support/text.h"

// A box that waits for an answer while the user works elsewhere makes the
// taskbar button flash until the window is brought back.
int WindowUserInterface::ShowMessage(const Message& text, TextId title, unsigned style) {
  HWND window = window_.Handle();
  // A box may wait for minutes, and its own loop does not show a title held back.
  ShowPendingTitle();
  if (title == kReportTitle && installing_) {
    reported_ = true;
    if (ITaskbarList3* taskbar = Taskbar()) taskbar->SetProgressState(window, TBPF_ERROR);
  }
  if (window && GetForegroundWindow() != window) {
    FLASHWINFO flash{sizeof(flash), window, FLASHW_ALL | FLASHW_TIMERNOFG, 0, 0};
    FlashWindowEx(&flash);
  }
  Language language = window_.ShownLanguage();
  return MessageBoxW(window, Widen(text.In(language)).c_str(), Widen(TextIn(language, title)).c_str(), style);
}

// Made when first needed: a system without a taskbar (or without COM on this
// thread) simply has no button to show progress on.
ITaskbarList3* WindowUserInterface::Taskbar() {
  if (!taskbarTried_ && window_.IsOpen()) {
    taskbarTried_ = true;
    if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                taskbar_.ReceiveVoid())) ||
        FAILED(taskbar_->HrInit()))
      taskbar_.Reset();
  }
  return taskbar_.Get();
}

void WindowUserInterface::ShowTaskbarProgress(int entryCount, int scale) {
  ITaskbarList3* taskbar = Taskbar();
  if (!taskbar) return;
  taskbar->SetProgressState(window_.Handle(), reported_ ? TBPF_ERROR : TBPF_NORMAL);
  taskbar->SetProgressValue(window_.Handle(), static_cast<ULONGLONG>(entryCount), static_cast<ULONGLONG>(scale));
}

void WindowUserInterface::SetMousePointer(MousePointer pointer) { window_.SetMousePointer(pointer); }

// The title and the taskbar button are the shell's to redraw, which costs
// more than the entry itself: they change only when the percentage shown does,
// about 100 times in a run of 212 entries (the title more rarely still, see
// ShowTitle).
void WindowUserInterface::ShowProgress(int entryCount, int scale, const std::string& percentText) {
  window_.SetProgressBar(entryCount, scale);
  window_.SetText(ControlId::PercentLabel, percentText);
  if (!installing_ || percentText == percent_) return;
  percent_ = percentText;
  ShowTitle();
  ShowTaskbarProgress(entryCount, scale);
}

// "makebfs.exe working, 1:42"
void WindowUserInterface::ShowToolActivity(const std::string& tool, unsigned elapsedSeconds) {
  if (!installing_) return;
  std::string seconds = std::to_string(elapsedSeconds % 60);
  std::string elapsed = std::to_string(elapsedSeconds / 60) + ":" + (seconds.size() < 2 ? "0" : "") + seconds;
  std::string activity =
      tool.empty() ? std::string() : TextIn(window_.ShownLanguage(), IDS_TOOL_WORKING, {tool, elapsed});
  if (activity == activity_) return;
  activity_ = activity;
  ShowTitle();
}

// A title redrawn with every entry of a quick burst (deletes come one every
// few milliseconds) would cost more than the entries themselves, and nobody
// reads a title that changes more often than this.
constexpr ULONGLONG kTitleIntervalMs = 200;

// A change within the interval after the last one is held back; the pump
// shows it once the interval is over.
void WindowUserInterface::ShowTitle() {
  titlePending_ = true;
  ShowTitleIfDue();
}

void WindowUserInterface::ShowTitleIfDue() {
  if (GetTickCount64() - titleShownAt_ >= kTitleIntervalMs) ShowPendingTitle();
}

// "37% - makebfs.exe working, 1:42 - FlatOut - ZEM7 Mod Installer"
void WindowUserInterface::ShowPendingTitle() {
  if (!titlePending_ || !window_.IsOpen()) return;
  std::string title = window_.Title();
  if (!activity_.empty()) title = activity_ + " - " + title;
  if (!percent_.empty()) title = percent_ + " - " + title;
  SetWindowTextW(window_.Handle(), Widen(title).c_str());
  titlePending_ = false;
  titleShownAt_ = GetTickCount64();
}

void WindowUserInterface::PrependProgressText(const std::string& stamp, const Message& text) {
  HWND box = window_.Control(ControlId::ProgressText);
  if (!box) return;
  std::string entry = stamp + text.In(window_.ShownLanguage()) + "\r\n";
  // Inserting at the start keeps each entry's cost independent of the text
  // already shown. The box is painted with the bar when the entry pumps.
  SendMessageW(box, EM_SETSEL, 0, 0);
  SendMessageW(box, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(Widen(entry).c_str()));
  SendMessageW(box, EM_SETSEL, 0, 0);
  SendMessageW(box, EM_SCROLLCARET, 0, 0);
}

// A report made before the run is no failure of the run's: the button starts
// without one.
void WindowUserInterface::BeginInstallation() {
  installing_ = true;
  reported_ = false;
}

// Once the run is over, the title is the window's own again.
void WindowUserInterface::EndInstallation() {
  installing_ = false;
  reported_ = false;
  percent_.clear();
  activity_.clear();
  titlePending_ = true;
  ShowPendingTitle();
  if (!window_.IsOpen()) return;
  if (ITaskbarList3* taskbar = Taskbar()) taskbar->SetProgressState(window_.Handle(), TBPF_NOPROGRESS);
}

void WindowUserInterface::EnableInput(bool enabled) {
  for (ControlId id : {ControlId::GameFolderBox, ControlId::GameFolderButton, ControlId::TargetFolderBox,
                       ControlId::TargetFolderButton, ControlId::InstallButton})
    if (HWND control = window_.Control(id)) EnableWindow(control, enabled);
}

void WindowUserInterface::PumpMessages() {
  ShowTitleIfDue();
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // Leave it for the program's own message loop.
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    if (window_.TranslateKeyboard(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void WindowUserInterface::Unload() { window_.Destroy(); }
