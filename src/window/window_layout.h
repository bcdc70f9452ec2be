#pragma once
// The main window's controls: kind, container, position in twips (15 twips
// per pixel at 96 DPI), tab order, caption, tool tip and colours. The window
// is built from this table, and laid out again from it when the DPI changes.
#include <windows.h>

#include <span>
#include <string>

#include "support/texts.h"

enum class ControlKind { Image, Frame, Label, TextBox, PictureButton, Button, PictureBox, ProgressBox };
enum class Artwork { None, Banner, Header, FolderButton };

// The controls' ids, also their child-window ids.
enum class ControlId : int {
  None = 0,  // the window itself, as a parent
  Banner = 100,
  GameFolderFrame,
  GameFolderHeader,
  GameFolderPrompt,
  GameFolderBox,
  GameFolderButton,
  TargetFolderFrame,
  TargetFolderHeader,
  TargetFolderPrompt,
  TargetFolderBox,
  TargetFolderButton,
  InstallFrame,
  InstallHeader,
  InstallButton,
  ProgressFrame,
  ProgressHeader,
  ProgressBar,
  PercentBox,
  PercentLabel,
  ProgressText,
  WebsiteLabel,
};

constexpr COLORREF kNoColour = CLR_INVALID;

struct FontSpec {
  int tenthsOfPoint;  // 83 for Tahoma 8.25 pt
  bool bold;
};

// A control's text: a text of the tables, shown in the window's language, or
// a fixed one that no language changes (the percentage, the host name).
struct Caption {
  constexpr Caption(int text) : id(static_cast<TextId>(text)) {}
  constexpr Caption(const char* text) : fixed(text) {}
  std::string In(Language language) const { return id ? TextIn(language, id) : std::string(fixed ? fixed : ""); }
  bool Empty() const { return !id && (!fixed || !*fixed); }

  TextId id = 0;
  const char* fixed = nullptr;
};

struct ControlSpec {
  const char* name;  // how the GUI driver's scripts name the control
  ControlId id;
  ControlKind kind;
  ControlId parent;              // ControlId::None for the window itself
  int left, top, width, height;  // twips
  int tabIndex;                  // -1 where the control takes no part in the tab order
  Caption caption;
  Caption toolTip;
  COLORREF background;
  COLORREF text;
  FontSpec font;
  Artwork artwork;
};

std::span<const ControlSpec> MainWindowControls();

constexpr int kClientWidthTwips = 6285;
constexpr int kClientHeightTwips = 8220;
constexpr COLORREF kWindowBackground = RGB(64, 64, 64);
constexpr COLORREF kBarColour = RGB(0, 0, 255);
// The makers' website: a reserved example domain until a real one is chosen.
constexpr const char* kWebsiteHost = "www.torvale.example";
constexpr const char* kWebsiteAddress = "http://www.torvale.example/";

// Twips to pixels at the given DPI.
int TwipsToPixels(int twips, UINT dpi);
// The table's entry for id; nullptr for an id that is not in it.
const ControlSpec* FindControlSpec(ControlId id);
