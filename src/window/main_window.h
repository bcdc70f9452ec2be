#pragma once
// The installer's only window. It leads through the three steps (game folder,
// target folder, install) and shows the progress. Its folder pickers and the
// website label only change the window itself; the install button and closing
// go to the WindowCommands it was created with. Its looks are WindowPainter's
// job, and WindowUserInterface makes it the user interface of a run.
#include <windows.h>

#include <map>
#include <string>

#include "window/window_layout.h"
#include "window/window_painter.h"
#include "support/error_report.h"
#include "support/texts.h"
#include "window/window_commands.h"

class MainWindow {
 public:
  // Its texts, and the boxes of the run it serves, in language.
  explicit MainWindow(Language language = Language::English) : language_(language), painter_(language) {}
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Creates the window and its controls without showing it; throws when the
  // window cannot be made. The picker's failures are reported to reporter.
  void Create(WindowCommands& commands, ErrorReporter& reporter);
  void Show();
  // The main window of any installer open on this desktop, or nullptr.
  static HWND FindOpen();
  void Destroy();
  bool IsOpen() const { return hwnd_ != nullptr; }
  HWND Handle() const { return hwnd_; }
  Language ShownLanguage() const { return language_; }
  // The window's own title, without the progress a run adds.
  std::string Title() const { return TextIn(language_, IDS_WINDOW_TITLE); }
  HWND Control(ControlId id) const;
  std::string Text(ControlId id) const;
  void SetText(ControlId id, const std::string& text);
  // Hands Alt+M and the tab keys to the window; true when the message was used.
  bool TranslateKeyboard(MSG& message);
  void SetMousePointer(MousePointer pointer);
  void SetProgressBar(int entries, int scale);

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK ContainerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnContainerMessage(HWND container, UINT message, WPARAM wParam, LPARAM lParam);
  void PaintContainer(HWND container);
  HBRUSH OnControlColour(HDC dc, HWND control);
  bool OnSetCursor(HWND over);
  void OnClose();

  // The controls and their layout (main_window_controls.cpp).
  void CreateControls();
  void CreateToolTips();
  void ApplyLayout(UINT dpi);
  void SizeClientArea(int width, int height);

  // The commands (main_window_commands.cpp).
  void OnCommand(ControlId id);
  void OnBrowseGameFolder();
  void OnBrowseTargetFolder();
  void OnInstall();
  void OnOpenWebsite();

  Language language_;
  WindowCommands* commands_ = nullptr;
  ErrorReporter* reporter_ = nullptr;
  HWND hwnd_ = nullptr;
  UINT dpi_ = 96;
  MousePointer pointer_ = MousePointer::Default;
  int barEntries_ = 0;
  int barScale_ = 1;
  std::map<ControlId, HWND> controls_;
  WindowPainter painter_;
  UniqueAccelerators accelerators_;
};
