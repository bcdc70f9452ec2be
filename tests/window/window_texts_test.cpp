// Every language's texts fit the controls that show them, at 100, 150 and
// 200 percent, measured with the fonts the window draws them in.
#include <windows.h>

#include <gtest/gtest.h>

#include "support/handles.h"
#include "support/text.h"
#include "window/window_painter.h"

namespace {

SIZE TextExtent(HDC dc, HFONT font, const std::string& text) {
  HGDIOBJ old = SelectObject(dc, font);
  RECT bounds{0, 0, 0, 0};
  std::wstring wide = Widen(text);
  DrawTextW(dc, wide.c_str(), -1, &bounds, DT_CALCRECT | DT_SINGLELINE);
  SelectObject(dc, old);
  return {bounds.right, bounds.bottom};
}

TEST(WindowTexts, EveryCaptionFitsItsControlInEveryLanguageAndScale) {
  HDC screen = GetDC(nullptr);
  size_t count = 0;
  const LanguageInfo* languages = AllLanguages(count);
  for (UINT dpi : {96u, 144u, 192u}) {
    WindowPainter painter(Language::English);
    painter.StartDpi(dpi);
    for (const ControlSpec& spec : MainWindowControls()) {
      if (!spec.caption.id) continue;
      // A button's raised edge takes two pixels on each side.
      int edge = spec.kind == ControlKind::Button ? 2 * MulDiv(2, static_cast<int>(dpi), 96) : 0;
      int width = TwipsToPixels(spec.width, dpi) - edge, height = TwipsToPixels(spec.height, dpi);
      for (size_t i = 0; i < count; ++i) {
        std::string text = spec.caption.In(languages[i].language);
        SIZE size = TextExtent(screen, painter.Font(spec.font), text);
        SCOPED_TRACE(std::string(spec.name) + " at " + std::to_string(dpi) + " DPI in " + languages[i].code + ": " +
                     text);
        EXPECT_GT(size.cx, 0);  // measured at all
        EXPECT_LE(size.cx, width);
        EXPECT_LE(size.cy, height);
      }
    }
  }
  ReleaseDC(nullptr, screen);
}

}  // namespace
