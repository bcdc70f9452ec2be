#pragma once
// How the main window looks: its colours, fonts and pictures, the painting of
// its containers and the progress bar, and its owner-drawn buttons. Brushes,
// fonts and pictures are made once and kept until the DPI changes.
#include <windows.h>

#include <map>
#include <vector>

#include "window/window_layout.h"
#include "support/handles.h"
#include "support/language.h"

class WindowPainter {
 public:
  // Its pictures' words are in language.
  explicit WindowPainter(Language language) : language_(language) {}
  // Drops the fonts and starts a new set of pictures for dpi. The old
  // pictures come back to the caller, who keeps them until no control shows them.
  std::vector<UniqueGdiObject> StartDpi(UINT dpi);
  HFONT Font(const FontSpec& spec);
  // Draws the control's artwork at the size it is shown at.
  HBITMAP Picture(const ControlSpec& spec, int width, int height);

  // The answer to WM_CTLCOLOR*: nullptr where the system's colours apply.
  HBRUSH ControlColours(HDC dc, const ControlSpec& spec);
  void PaintBackground(HDC dc, const RECT& client);
  // A frame or picture box; the progress box also shows entries/scale as a bar.
  void PaintContainer(HDC dc, const RECT& client, const ControlSpec* spec, int entries, int scale);
  void DrawButton(const DRAWITEMSTRUCT& item, const ControlSpec& spec);

 private:
  HBRUSH Brush(COLORREF colour);

  Language language_;
  UINT dpi_ = 96;
  std::map<COLORREF, UniqueGdiObject> brushes_;
  std::map<int, UniqueGdiObject> fonts_;
  std::vector<UniqueGdiObject> pictures_;
  std::map<ControlId, HBITMAP> pictureOf_;
};
