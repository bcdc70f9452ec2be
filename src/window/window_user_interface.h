#pragma once
// The main window as the run's user interface: boxes owned by the window,
// the progress bar and box, the title, the pointer, and the message pump.
#include <shobjidl.h>

#include "support/handles.h"
#include "support/user_interface.h"
#include "window/main_window.h"

class WindowUserInterface : public UserInterface {
 public:
  explicit WindowUserInterface(MainWindow& window) : window_(window) {}

  // In the window's language.
  int ShowMessage(const Message& text, TextId title, unsigned style) override;
  void SetMousePointer(MousePointer pointer) override;
  void ShowProgress(int entryCount, int scale, const std::string& percentText) override;
  void PrependProgressText(const std::string& stamp, const Message& text) override;
  void EnableInput(bool enabled) override;
  void PumpMessages() override;
  void ShowToolActivity(const std::string& tool, unsigned elapsedSeconds) override;
  void BeginInstallation() override;
  void EndInstallation() override;
  void Unload() override;

 private:
  // The title tells the progress even when the window is minimised.
  void ShowTitle();
  void ShowTitleIfDue();
  void ShowPendingTitle();
  // The taskbar button shows the same progress, red once a report was made.
  void ShowTaskbarProgress(int entryCount, int scale);
  ITaskbarList3* Taskbar();

  MainWindow& window_;
  std::string percent_;
  std::string activity_;
  ComPtr<ITaskbarList3> taskbar_;
  bool taskbarTried_ = false;
  bool titlePending_ = false;  // what the title shows has changed since it was last drawn
  ULONGLONG titleShownAt_ = 0;
  bool installing_ = false;  // between BeginInstallation and EndInstallation
  bool reported_ = false;
};
