#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>

#include "common/screenshot.h"
#include "common/temp_folder.h"
#include "support/progress_log.h"
#include "support/text.h"
#include "window/window_under_test.h"

namespace {

std::string ScreenshotPath(const char* name) {
  const char* folder = std::getenv("ZEM7_SCREENSHOT_DIR");
  std::string base = folder ? folder : ".";
  if (base.starts_with("/")) base = "Z:" + base;  // a Linux path seen from Wine
  return base + "/" + name;
}

RECT RectInParent(HWND control) {
  RECT rect;
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

// The window must show what it is built from, laid out at the monitor's DPI.
class MainWindowTest : public WindowSuite {
 protected:
  UINT Dpi() const { return GetDpiForWindow(Window().Handle()); }
};

TEST_F(MainWindowTest, TitleAndClientSizeMatchTheLayoutAtThisDpi) {
  wchar_t title[128] = {};
  GetWindowTextW(Window().Handle(), title, 128);
  EXPECT_EQ(Narrow(title), "FlatOut - ZEM7 Mod Installer");
  RECT client;
  GetClientRect(Window().Handle(), &client);
  EXPECT_EQ(client.right, TwipsToPixels(6285, Dpi()));
  EXPECT_EQ(client.bottom, TwipsToPixels(8220, Dpi()));
}

TEST_F(MainWindowTest, EveryControlSitsInItsContainerAtItsTwipRectangle) {
  // The form's measures in twips (15 per pixel at 96 DPI), each relative to its container.
  struct Expected {
    ControlId id;
    ControlId parent;
    int left, top, width, height;
    const char* caption;  // nullptr: not checked (text boxes, pictures)
  };
  using enum ControlId;
  const Expected expected[] = {
      {Banner, None, 120, 120, 6060, 2190, nullptr},
      {GameFolderFrame, None, 120, 2400, 6060, 1020, nullptr},
      {GameFolderHeader, GameFolderFrame, 0, 0, 6060, 300, nullptr},
      {GameFolderPrompt, GameFolderFrame, 180, 360, 4920, 195,
       "(1). Please select the location of your FlatOut game folder:"},
      {GameFolderBox, GameFolderFrame, 120, 600, 5295, 285, nullptr},
      {GameFolderButton, GameFolderFrame, 5520, 600, 375, 315, ""},
      {TargetFolderFrame, None, 120, 3480, 6060, 1020, nullptr},
      {TargetFolderHeader, TargetFolderFrame, 0, 0, 6060, 300, nullptr},
      {TargetFolderPrompt, TargetFolderFrame, 180, 360, 5550, 195,
       "(2). Please select/type the location to install the ZEM7 Game Mod:"},
      {TargetFolderBox, TargetFolderFrame, 120, 600, 5295, 285, nullptr},
      {TargetFolderButton, TargetFolderFrame, 5520, 600, 375, 315, ""},
      {InstallFrame, None, 120, 4560, 6060, 915, nullptr},
      {InstallHeader, InstallFrame, 0, 0, 6060, 300, nullptr},
      {InstallButton, InstallFrame, 120, 425, 5775, 375, "(3). Click to start the installation of the ZEM7 &Mod"},
      {ProgressFrame, None, 120, 5535, 6060, 2115, nullptr},
      {ProgressHeader, ProgressFrame, 0, 0, 6060, 300, nullptr},
      {ProgressBar, ProgressFrame, 180, 360, 5715, 315, nullptr},
      {PercentBox, ProgressBar, 2520, 30, 615, 195, nullptr},
      {PercentLabel, PercentBox, 0, 0, 615, 255, nullptr},
      {ProgressText, ProgressFrame, 180, 780, 5715, 1155, nullptr},
      {WebsiteLabel, None, 120, 7770, 6075, 375, "www.torvale.example"},
  };
  auto pixels = [&](int twips) { return MulDiv(twips, static_cast<int>(Dpi()), 1440); };
  for (const Expected& e : expected) {
    SCOPED_TRACE(static_cast<int>(e.id));
    HWND control = Window().Control(e.id);
    ASSERT_TRUE(IsWindow(control));
    EXPECT_TRUE(IsWindowVisible(control));
    EXPECT_TRUE(IsWindowEnabled(control));
    EXPECT_EQ(GetParent(control), e.parent == None ? Window().Handle() : Window().Control(e.parent));
    RECT rect = RectInParent(control);
    EXPECT_EQ(rect.left, pixels(e.left));
    EXPECT_EQ(rect.top, pixels(e.top));
    EXPECT_EQ(rect.right - rect.left, pixels(e.width));
    EXPECT_EQ(rect.bottom - rect.top, pixels(e.height));
    if (e.caption) {
      EXPECT_EQ(Window().Text(e.id), e.caption);
    }
  }
}

TEST_F(MainWindowTest, TabKeyVisitsTheInputControlsInTheirOrder) {
  const ControlId expected[] = {ControlId::GameFolderBox,      ControlId::GameFolderButton, ControlId::TargetFolderBox,
                                ControlId::TargetFolderButton, ControlId::InstallButton,    ControlId::ProgressText};
  HWND current = Window().Control(expected[0]);
  for (size_t i = 1; i < std::size(expected); ++i) {
    current = GetNextDlgTabItem(Window().Handle(), current, FALSE);
    EXPECT_EQ(current, Window().Control(expected[i])) << "tab stop " << i;
  }
  EXPECT_EQ(GetNextDlgTabItem(Window().Handle(), current, FALSE), Window().Control(expected[0]));
}

TEST_F(MainWindowTest, ColoursShowAndTheBarOnlyGrowsFromTheLeft) {
  TempFolder logFolder("zem7 window log");
  ProgressLog log(Ui(), logFolder / "log.txt");
  for (int entry = 1; entry <= 106; ++entry) log.Write("entry " + std::to_string(entry));
  // An entry is painted by the entry's own pumping, not left for later.
  for (ControlId id : {ControlId::ProgressBar, ControlId::ProgressText, ControlId::PercentLabel})
    EXPECT_FALSE(GetUpdateRect(Window().Control(id), nullptr, FALSE)) << static_cast<int>(id);
  WindowPicture picture = CaptureWindow(Window().Handle());
  ASSERT_GT(picture.width, 0);

  POINT origin{0, 0};
  ClientToScreen(Window().Handle(), &origin);
  RECT window;
  GetWindowRect(Window().Handle(), &window);
  auto colourAt = [&](ControlId id, int fx, int fy) {  // fx, fy: per mille of the control's size
    RECT rect;
    GetWindowRect(Window().Control(id), &rect);
    int x = rect.left - window.left + (rect.right - rect.left) * fx / 1000;
    int y = rect.top - window.top + (rect.bottom - rect.top) * fy / 1000;
    return picture.At(x, y);
  };
  EXPECT_EQ(colourAt(ControlId::InstallFrame, 10, 900), RGB(128, 128, 128));
  EXPECT_EQ(colourAt(ControlId::WebsiteLabel, 20, 500), RGB(255, 0, 0));
  EXPECT_EQ(colourAt(ControlId::InstallButton, 30, 500), RGB(255, 255, 192));
  EXPECT_EQ(colourAt(ControlId::GameFolderButton, 100, 500), RGB(255, 0, 0));
  EXPECT_EQ(colourAt(ControlId::ProgressText, 500, 900), RGB(192, 255, 192));
  EXPECT_EQ(colourAt(ControlId::ProgressBar, 100, 500), RGB(0, 0, 255));
  EXPECT_EQ(colourAt(ControlId::ProgressBar, 900, 500), RGB(255, 255, 255));
  int windowX = origin.x - window.left, windowY = origin.y - window.top;
  EXPECT_EQ(picture.At(windowX + 2, windowY + TwipsToPixels(7700, Dpi())), RGB(64, 64, 64));
  EXPECT_EQ(Window().Text(ControlId::PercentLabel), "50%");

  EXPECT_TRUE(SavePng(picture, ScreenshotPath("main-window.png")));
}

TEST_F(MainWindowTest, MovingToAMonitorOfAnotherDpiLaysEverythingOutAgain) {
  const UINT original = Dpi();
  for (UINT dpi : {144u, 192u, original}) {
    SCOPED_TRACE(dpi);
    RECT suggested{0, 0, TwipsToPixels(6285, dpi) + 16, TwipsToPixels(8220, dpi) + 40};
    SendMessageW(Window().Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    RECT client;
    GetClientRect(Window().Handle(), &client);
    EXPECT_EQ(client.right, TwipsToPixels(6285, dpi));
    // A window taller than the virtual screen is cut to it by the system.
    if (TwipsToPixels(8220, dpi) + 64 < GetSystemMetrics(SM_CYSCREEN)) {
      EXPECT_EQ(client.bottom, TwipsToPixels(8220, dpi));
    }
    RECT install = RectInParent(Window().Control(ControlId::InstallButton));
    EXPECT_EQ(install.left, TwipsToPixels(120, dpi));
    EXPECT_EQ(install.right - install.left, TwipsToPixels(5775, dpi));
    RECT website = RectInParent(Window().Control(ControlId::WebsiteLabel));
    EXPECT_EQ(website.bottom, TwipsToPixels(7770 + 375, dpi));
    // The fonts follow: bold Tahoma 8.25 pt is 11 pixels high at 96 DPI.
    auto font = reinterpret_cast<HFONT>(SendMessageW(Window().Control(ControlId::GameFolderBox), WM_GETFONT, 0, 0));
    LOGFONTW description{};
    GetObjectW(font, sizeof(description), &description);
    EXPECT_EQ(-description.lfHeight, MulDiv(83, static_cast<int>(dpi), 720));
    EXPECT_EQ(description.lfWeight, FW_BOLD);
  }
}

// The buttons are owner-drawn, so a disabled one looks disabled only if the
// window draws it so: the caption turns from black to grey, the folder
// picture is dimmed.
TEST_F(MainWindowTest, ButtonsDisabledDuringARunLookDisabled) {
  auto looks = [] {
    UpdateWindow(Window().Handle());
    WindowPicture picture = CaptureWindow(Window().Handle());
    RECT window;
    GetWindowRect(Window().Handle(), &window);
    int darkestCaption = 3 * 255;
    bool folderYellow = false;
    for (ControlId id : {ControlId::InstallButton, ControlId::GameFolderButton}) {
      RECT button;
      GetWindowRect(Window().Control(id), &button);
      for (int y = button.top + 4; y < button.bottom - 4; ++y)  // inside the edges and the focus frame
        for (int x = button.left + 4; x < button.right - 4; ++x) {
          COLORREF colour = picture.At(x - window.left, y - window.top);
          if (id == ControlId::InstallButton)
            darkestCaption = std::min(darkestCaption, GetRValue(colour) + GetGValue(colour) + GetBValue(colour));
          else
            folderYellow |= colour == RGB(255, 200, 60);
        }
    }
    return std::pair{darkestCaption, folderYellow};
  };
  auto [captionEnabled, folderEnabled] = looks();
  EXPECT_LT(captionEnabled, 100);
  EXPECT_TRUE(folderEnabled);
  Ui().EnableInput(false);
  Ui().PumpMessages();
  EXPECT_FALSE(IsWindowEnabled(Window().Control(ControlId::InstallButton)));
  auto [captionDisabled, folderDisabled] = looks();
  EXPECT_GT(captionDisabled, 300);
  EXPECT_FALSE(folderDisabled);
  Ui().EnableInput(true);
  Ui().PumpMessages();
  EXPECT_EQ(looks(), std::pair(captionEnabled, folderEnabled));
}

}  // namespace
