#pragma once
// The main window as the run's user interface: boxes owned by the window,
// the progress bar and box, the title, the pointer, and the message pump.
#include "window/main_window.h"
#include "support/user_interface.h"

class WindowUserInterface : public UserInterface {
 public:
  explicit WindowUserInterface(MainWindow& window) : window_(window) {}

  int ShowMessage(const std::string& text, const std::string& title, unsigned style) override;
  void SetMousePointer(MousePointer pointer) override;
  void ShowProgress(int entryCount, int scale, const std::string& percentText) override;
  void PrependProgressText(const std::string& entry) override;
  void EnableInput(bool enabled) override;
  void PumpMessages() override;
  void ShowToolActivity(const std::string& tool, unsigned elapsedSeconds) override;
  void Unload() override;

 private:
  // The title tells the progress even when the window is minimised.
  void ShowTitle();

  MainWindow& window_;
  std::string percent_;
  std::string activity_;
};
