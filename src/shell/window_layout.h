#pragma once
// The main window's controls: kind, container, position in twips (15 twips
// per pixel at 96 DPI), tab order, caption, tool tip and colours. The window
// is built from this table, and laid out again from it when the DPI changes.
#include <windows.h>

#include <span>

enum class ControlKind { Image, Frame, Label, TextBox, PictureButton, Button, PictureBox, ProgressBox };
enum class Artwork { None, Banner, Header, FolderButton };

enum ControlId : int {
  IDI_Image1 = 100,
  IDF_fraFlatOutGameFolder,
  IDI_imgHeader0,
  IDT_lblInfo1,
  IDE_txtFlatOutGameFolder,
  IDB_cmdFlatOutGameFolder,
  IDF_fraZEM7GameFolder,
  IDI_imgHeader1,
  IDT_lblInfo2,
  IDE_txtZEM7GameFolder,
  IDB_cmdZEM7GameFolder,
  IDF_fraInstallMod,
  IDI_imgHeader2,
  IDB_cmdInstall,
  IDF_fraProgress,
  IDI_imgHeader3,
  IDP_picProgress,
  IDP_picPercent,
  IDT_lblPercent,
  IDE_txtProgress,
  IDT_lblWebsite,
};

constexpr COLORREF kNoColour = CLR_INVALID;

struct FontSpec {
  int tenthsOfPoint;  // 83 for Tahoma 8.25 pt
  bool bold;
};

struct ControlSpec {
  const char* name;
  ControlId id;
  ControlKind kind;
  int parent;  // a ControlId, or 0 for the window itself
  int left, top, width, height;  // twips
  int tabIndex;  // -1 where the control takes no part in the tab order
  const char* caption;
  const char* toolTip;
  COLORREF background;
  COLORREF text;
  FontSpec font;
  Artwork artwork;
};

std::span<const ControlSpec> MainWindowControls();

constexpr const char* kWindowTitle = "FlatOut - ZEM7 Mod Installer";
constexpr int kClientWidthTwips = 6285;
constexpr int kClientHeightTwips = 8220;
constexpr COLORREF kWindowBackground = RGB(64, 64, 64);
constexpr COLORREF kBarColour = RGB(0, 0, 255);
// The makers' website: a reserved example domain until a real one is chosen.
constexpr const char* kWebsiteHost = "www.torvale.example";
constexpr const char* kWebsiteAddress = "http://www.torvale.example/";

// Twips to pixels at the given DPI.
int TwipsToPixels(int twips, UINT dpi);
