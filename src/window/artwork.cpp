#include "window/artwork.h"

#include <algorithm>

#include "support/handles.h"
#include "support/text.h"
#include "support/texts.h"

namespace {

// A bitmap being drawn in a memory device context. The bitmap outlives the
// canvas: Release hands it to the caller once the drawing is done.
class MemoryCanvas {
 public:
  MemoryCanvas(int width, int height)
      : dc_(CreateCompatibleDC(nullptr)),
        bitmap_(NewBitmap(dc_.Get(), width, height)),
        selected_(dc_.Get(), bitmap_.Get()) {}
  MemoryCanvas(const MemoryCanvas&) = delete;
  MemoryCanvas& operator=(const MemoryCanvas&) = delete;

  HDC Dc() const { return dc_.Get(); }
  HBITMAP Release() { return static_cast<HBITMAP>(bitmap_.Release()); }

 private:
  static HGDIOBJ NewBitmap(HDC dc, int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    return CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  }

  UniqueMemoryDc dc_;
  UniqueGdiObject bitmap_;
  SelectedObject selected_;  // declared last: deselected before the bitmap and the context go
};

void Fill(HDC dc, const RECT& rect, COLORREF colour) {
  SetDCBrushColor(dc, colour);
  FillRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

void VerticalGradient(HDC dc, int width, int height, COLORREF top, COLORREF bottom) {
  for (int y = 0; y < height; ++y) {
    auto mix = [&](int a, int b) { return a + (b - a) * y / (height > 1 ? height - 1 : 1); };
    COLORREF colour = RGB(mix(GetRValue(top), GetRValue(bottom)), mix(GetGValue(top), GetGValue(bottom)),
                          mix(GetBValue(top), GetBValue(bottom)));
    Fill(dc, RECT{0, y, width, y + 1}, colour);
  }
}

// The chequered flag of a race finish.
void Chequers(HDC dc, const RECT& area, int square) {
  for (int y = area.top; y < area.bottom; y += square)
    for (int x = area.left; x < area.right; x += square) {
      bool dark = ((x - area.left) / square + (y - area.top) / square) % 2;
      RECT cell{x, y, std::min<int>(x + square, area.right), std::min<int>(y + square, area.bottom)};
      Fill(dc, cell, dark ? RGB(20, 20, 20) : RGB(235, 235, 235));
    }
}

void Text(HDC dc, const wchar_t* text, RECT area, int height, int weight, COLORREF colour, UINT format) {
  UniqueGdiObject font(CreateFontW(-height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0,
                                   ANTIALIASED_QUALITY, 0, L"Tahoma"));
  SelectedObject selected(dc, font.Get());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, colour);
  DrawTextW(dc, text, -1, &area, format | DT_NOPREFIX);
}

void DrawBanner(HDC dc, int width, int height, Language language) {
  VerticalGradient(dc, width, height, RGB(150, 0, 0), RGB(30, 0, 0));
  int square = std::max(2, height / 12);
  Chequers(dc, RECT{0, height - 2 * square, width, height}, square);
  RECT title{0, height / 12, width, height * 7 / 12};
  Text(dc, L"ZEM7", title, height * 5 / 12, FW_HEAVY, RGB(255, 220, 0), DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  RECT subtitle{0, height * 7 / 12, width, height - 2 * square};
  Text(dc, Widen(TextIn(language, IDS_BANNER_CAPTION)).c_str(), subtitle, height / 8, FW_BOLD, RGB(255, 255, 255),
       DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

void DrawHeader(HDC dc, int width, int height) {
  VerticalGradient(dc, width, height, RGB(200, 0, 0), RGB(90, 0, 0));
  int square = std::max(2, height / 4);
  Chequers(dc, RECT{width - 6 * square, 0, width, height}, square);
}

void DrawFolderButton(HDC dc, int width, int height) {
  Fill(dc, RECT{0, 0, width, height}, RGB(255, 0, 0));
  int left = width / 6, right = width - width / 6, top = height / 4, bottom = height - height / 6;
  Fill(dc, RECT{left, top - height / 8, left + (right - left) / 2, top + 1}, RGB(255, 210, 90));
  Fill(dc, RECT{left, top, right, bottom}, RGB(255, 200, 60));
  Fill(dc, RECT{left, bottom - 1, right, bottom}, RGB(150, 100, 0));
}

}  // namespace

HBITMAP DrawArtwork(Artwork artwork, int width, int height, Language language) {
  if (width <= 0 || height <= 0) return nullptr;
  MemoryCanvas canvas(width, height);
  switch (artwork) {
    case Artwork::Banner: DrawBanner(canvas.Dc(), width, height, language); break;
    case Artwork::Header: DrawHeader(canvas.Dc(), width, height); break;
    case Artwork::FolderButton: DrawFolderButton(canvas.Dc(), width, height); break;
    case Artwork::None: break;
  }
  GdiFlush();
  return canvas.Release();
}
