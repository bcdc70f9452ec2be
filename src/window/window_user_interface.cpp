#include "window/window_user_interface.h"

#include <windows.h>

#include "support/text.h"

int WindowUserInterface::ShowMessage(const std::string& text, const std::string& title, unsigned style) {
  return MessageBoxW(window_.Handle(), Widen(text).c_str(), Widen(title).c_str(), style);
}

void WindowUserInterface::SetMousePointer(MousePointer pointer) { window_.SetMousePointer(pointer); }

void WindowUserInterface::ShowProgress(int entryCount, int scale, const std::string& percentText) {
  window_.SetProgressBar(entryCount, scale);
  window_.SetText(ControlId::PercentLabel, percentText);
}

void WindowUserInterface::PrependProgressText(const std::string& entry) {
  HWND box = window_.Control(ControlId::ProgressText);
  if (!box) return;
  // Inserting at the start keeps each entry's cost independent of the text already shown.
  SendMessageW(box, EM_SETSEL, 0, 0);
  SendMessageW(box, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(Widen(entry).c_str()));
  SendMessageW(box, EM_SETSEL, 0, 0);
  SendMessageW(box, EM_SCROLLCARET, 0, 0);
  UpdateWindow(box);
}

void WindowUserInterface::EnableInput(bool enabled) {
  for (ControlId id : {ControlId::GameFolderBox, ControlId::GameFolderButton, ControlId::TargetFolderBox,
                       ControlId::TargetFolderButton, ControlId::InstallButton})
    if (HWND control = window_.Control(id)) EnableWindow(control, enabled);
}

void WindowUserInterface::PumpMessages() {
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
