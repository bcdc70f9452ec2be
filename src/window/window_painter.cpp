#include "window/window_painter.h"

#include "window/artwork.h"
#include "support/text.h"

std::vector<UniqueGdiObject> WindowPainter::StartDpi(UINT dpi) {
  dpi_ = dpi;
  fonts_.clear();
  return std::exchange(pictures_, {});
}

HFONT WindowPainter::Font(const FontSpec& spec) {
  int key = spec.tenthsOfPoint * 2 + (spec.bold ? 1 : 0);
  auto found = fonts_.find(key);
  if (found != fonts_.end()) return static_cast<HFONT>(found->second.Get());
  HFONT font = CreateFontW(-MulDiv(spec.tenthsOfPoint, static_cast<int>(dpi_), 720), 0, 0, 0,
                           spec.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH, L"Tahoma");
  fonts_.emplace(key, UniqueGdiObject(font));
  return font;
}

HBITMAP WindowPainter::Picture(const ControlSpec& spec, int width, int height) {
  HBITMAP picture = DrawArtwork(spec.artwork, width, height, language_);
  pictures_.emplace_back(picture);
  pictureOf_[spec.id] = picture;
  return picture;
}

HBRUSH WindowPainter::Brush(COLORREF colour) {
  auto found = brushes_.find(colour);
  if (found == brushes_.end()) found = brushes_.emplace(colour, UniqueGdiObject(CreateSolidBrush(colour))).first;
  return static_cast<HBRUSH>(found->second.Get());
}

// Every coloured control of the window gets its colours here.
HBRUSH WindowPainter::ControlColours(HDC dc, const ControlSpec& spec) {
  bool systemColours = spec.id == ControlId::PercentLabel;
  COLORREF background = systemColours ? GetSysColor(COLOR_WINDOW) : spec.background;
  COLORREF text = systemColours ? GetSysColor(COLOR_WINDOWTEXT) : spec.text;
  if (background == kNoColour) {
    if (spec.kind != ControlKind::TextBox) return nullptr;
    background = GetSysColor(COLOR_WINDOW);
  }
  SetTextColor(dc, text == kNoColour ? GetSysColor(COLOR_WINDOWTEXT) : text);
  SetBkColor(dc, background);
  return Brush(background);
}

void WindowPainter::PaintBackground(HDC dc, const RECT& client) { FillRect(dc, &client, Brush(kWindowBackground)); }

void WindowPainter::PaintContainer(HDC dc, const RECT& client, const ControlSpec* spec, int entries, int scale) {
  COLORREF background = spec && spec->background != kNoColour ? spec->background : GetSysColor(COLOR_WINDOW);
  FillRect(dc, &client, Brush(background));
  if (spec && spec->id == ControlId::ProgressBar && entries > 0) {
    // Entries past the scale fill the whole bar; the rectangle is clipped at the edge.
    RECT bar{0, 0, MulDiv(entries, client.right, scale), client.bottom};
    FillRect(dc, &bar, Brush(kBarColour));
  }
}

void WindowPainter::DrawButton(const DRAWITEMSTRUCT& item, const ControlSpec& spec) {
  RECT area = item.rcItem;
  FillRect(item.hDC, &area, Brush(spec.background));
  bool pressed = item.itemState & ODS_SELECTED;
  DrawEdge(item.hDC, &area, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
  int shift = pressed ? 1 : 0;
  // An owner-drawn button shows its disabled state only if it draws it (the
  // buttons are disabled while an installation runs): a grey caption, a
  // dithered picture.
  bool disabled = item.itemState & ODS_DISABLED;
  if (spec.kind == ControlKind::PictureButton) {
    HBITMAP picture = pictureOf_[spec.id];
    BITMAP size{};
    GetObjectW(picture, sizeof(size), &size);
    DrawStateW(item.hDC, nullptr, nullptr, reinterpret_cast<LPARAM>(picture), 0,
               (area.right - size.bmWidth) / 2 + shift, (area.bottom - size.bmHeight) / 2 + shift, size.bmWidth,
               size.bmHeight, DST_BITMAP | (disabled ? DSS_UNION : DSS_NORMAL));
  } else {
    // The button's own text, which is in the window's language.
    std::wstring caption(static_cast<size_t>(GetWindowTextLengthW(item.hwndItem)) + 1, L'\0');
    caption.resize(
        static_cast<size_t>(GetWindowTextW(item.hwndItem, caption.data(), static_cast<int>(caption.size()))));
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, disabled ? GetSysColor(COLOR_GRAYTEXT) : spec.text);
    SelectedObject font(item.hDC, Font(spec.font));
    RECT text = area;
    OffsetRect(&text, shift, shift);
    UINT prefix = (item.itemState & ODS_NOACCEL) ? DT_HIDEPREFIX : 0;
    DrawTextW(item.hDC, caption.c_str(), -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE | prefix);
  }
  if (item.itemState & ODS_FOCUS) {
    RECT focus = area;
    InflateRect(&focus, -3, -3);
    DrawFocusRect(item.hDC, &focus);
  }
}
