#pragma once
// frmMain: the installer's only window. It leads through the three steps
// (game folder, target folder, install), shows the progress, and is the
// user interface that the rest of the program talks to.
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "shell/window_layout.h"
#include "support/handles.h"
#include "support/user_interface.h"

class FrmMain : public UserInterface {
 public:
  FrmMain() = default;
  ~FrmMain() override;
  FrmMain(const FrmMain&) = delete;
  FrmMain& operator=(const FrmMain&) = delete;

  // Creates the window and its controls without showing it.
  void Load();
  void Show();
  bool IsLoaded() const { return hwnd_ != nullptr; }
  HWND Handle() const { return hwnd_; }
  HWND Control(ControlId id) const;
  std::string Text(ControlId id) const;
  void SetText(ControlId id, const std::string& text);
  // Hands Alt+M and the tab keys to the window; true when the message was used.
  bool TranslateKeyboard(MSG& message);

  int ShowMessage(const std::string& text, const std::string& title, unsigned style) override;
  void SetMousePointer(MousePointer pointer) override;
  void ShowProgress(int entryCount, int scale, const std::string& percentText) override;
  void PrependProgressText(const std::string& entry) override;
  void PumpMessages() override;
  void Unload() override;

  // The window's commands.
  void cmdFlatOutGameFolder_Click();
  void cmdZEM7GameFolder_Click();
  void cmdInstall_Click();
  void lblWebsite_Click();

  // The checks that must pass before an installation may start. They read
  // the two shared folders and talk to the user through the interface only.
  static bool CheckIfReadyToInstall();
  static bool CheckGameFileItem(bool p_blnFile, const std::string& p_strDescription, const std::string& p_strPath);

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK ContainerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnContainerMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  void CreateControls();
  void CreateToolTips();
  void ApplyLayout(UINT dpi);
  void SizeClientArea(int width, int height);
  void OnCommand(int id, int code);
  void OnDrawItem(const DRAWITEMSTRUCT& item);
  void PaintContainer(HWND hwnd, HDC dc);
  HBRUSH OnControlColour(HDC dc, HWND control);
  bool OnSetCursor(HWND over);
  void OnClose();
  HBRUSH Brush(COLORREF colour);
  HFONT Font(const FontSpec& spec);
  const ControlSpec* SpecOf(HWND control) const;

  HWND hwnd_ = nullptr;
  UINT dpi_ = 96;
  MousePointer pointer_ = MousePointer::Default;
  int barEntries_ = 0;
  int barScale_ = 1;
  std::map<int, HWND> controls_;
  std::map<COLORREF, UniqueGdiObject> brushes_;
  std::map<int, UniqueGdiObject> fonts_;
  std::vector<UniqueGdiObject> pictures_;
  std::map<int, HBITMAP> pictureOf_;
  HACCEL accelerators_ = nullptr;
};

// The one window of the program.
FrmMain& frmMain();
