#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

#include "common/screenshot.h"
#include "shell/frm_main.h"
#include "support/installer_state.h"
#include "support/text.h"

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
class MainWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    frmMain().Load();
    State().Ui = &frmMain();
    frmMain().Show();
    SetWindowPos(frmMain().Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE);
    frmMain().PumpMessages();
  }
  static void TearDownTestSuite() {
    frmMain().Unload();
    State().Ui = nullptr;
  }
  UINT Dpi() const { return GetDpiForWindow(frmMain().Handle()); }
};

TEST_F(MainWindowTest, TitleAndClientSizeMatchTheLayoutAtThisDpi) {
  wchar_t title[128] = {};
  GetWindowTextW(frmMain().Handle(), title, 128);
  EXPECT_EQ(Narrow(title), "FlatOut - ZEM7 Mod Installer");
  RECT client;
  GetClientRect(frmMain().Handle(), &client);
  EXPECT_EQ(client.right, TwipsToPixels(6285, Dpi()));
  EXPECT_EQ(client.bottom, TwipsToPixels(8220, Dpi()));
}

TEST_F(MainWindowTest, EveryControlExistsWithItsCaptionContainerAndPosition) {
  EXPECT_EQ(MainWindowControls().size(), 21u);
  for (const ControlSpec& spec : MainWindowControls()) {
    SCOPED_TRACE(spec.name);
    HWND control = frmMain().Control(spec.id);
    ASSERT_TRUE(IsWindow(control));
    EXPECT_TRUE(IsWindowVisible(control));
    EXPECT_TRUE(IsWindowEnabled(control));
    HWND expectedParent = spec.parent ? frmMain().Control(static_cast<ControlId>(spec.parent)) : frmMain().Handle();
    EXPECT_EQ(GetParent(control), expectedParent);
    RECT rect = RectInParent(control);
    EXPECT_EQ(rect.left, TwipsToPixels(spec.left, Dpi()));
    EXPECT_EQ(rect.top, TwipsToPixels(spec.top, Dpi()));
    EXPECT_EQ(rect.right - rect.left, TwipsToPixels(spec.width, Dpi()));
    EXPECT_EQ(rect.bottom - rect.top, TwipsToPixels(spec.height, Dpi()));
    if (spec.kind != ControlKind::TextBox) {
      EXPECT_EQ(frmMain().Text(spec.id), spec.caption);
    }
  }
  EXPECT_EQ(frmMain().Text(IDB_cmdInstall), "(3). Click to start the installation of the ZEM7 &Mod");
  EXPECT_EQ(frmMain().Text(IDT_lblWebsite), kWebsiteHost);
}

TEST_F(MainWindowTest, TabKeyVisitsTheInputControlsInTheirOrder) {
  const ControlId expected[] = {IDE_txtFlatOutGameFolder, IDB_cmdFlatOutGameFolder, IDE_txtZEM7GameFolder,
                                IDB_cmdZEM7GameFolder,    IDB_cmdInstall,           IDE_txtProgress};
  HWND current = frmMain().Control(expected[0]);
  for (size_t i = 1; i < std::size(expected); ++i) {
    current = GetNextDlgTabItem(frmMain().Handle(), current, FALSE);
    EXPECT_EQ(current, frmMain().Control(expected[i])) << "tab stop " << i;
  }
  EXPECT_EQ(GetNextDlgTabItem(frmMain().Handle(), current, FALSE), frmMain().Control(expected[0]));
}

TEST_F(MainWindowTest, ColoursShowAndTheBarOnlyGrowsFromTheLeft) {
  frmMain().ShowProgress(106, 212, "50%");
  frmMain().PrependProgressText("12:00:00 : 50% : first\r\n");
  frmMain().PumpMessages();
  UpdateWindow(frmMain().Handle());
  WindowPicture picture = CaptureWindow(frmMain().Handle());
  ASSERT_GT(picture.width, 0);

  POINT origin{0, 0};
  ClientToScreen(frmMain().Handle(), &origin);
  RECT window;
  GetWindowRect(frmMain().Handle(), &window);
  auto colourAt = [&](ControlId id, int fx, int fy) {  // fx, fy: per mille of the control's size
    RECT rect;
    GetWindowRect(frmMain().Control(id), &rect);
    int x = rect.left - window.left + (rect.right - rect.left) * fx / 1000;
    int y = rect.top - window.top + (rect.bottom - rect.top) * fy / 1000;
    return picture.At(x, y);
  };
  EXPECT_EQ(colourAt(IDF_fraInstallMod, 10, 900), RGB(128, 128, 128));
  EXPECT_EQ(colourAt(IDT_lblWebsite, 20, 500), RGB(255, 0, 0));
  EXPECT_EQ(colourAt(IDB_cmdInstall, 30, 500), RGB(255, 255, 192));
  EXPECT_EQ(colourAt(IDB_cmdFlatOutGameFolder, 100, 500), RGB(255, 0, 0));
  EXPECT_EQ(colourAt(IDE_txtProgress, 500, 900), RGB(192, 255, 192));
  EXPECT_EQ(colourAt(IDP_picProgress, 100, 500), RGB(0, 0, 255));
  EXPECT_EQ(colourAt(IDP_picProgress, 900, 500), RGB(255, 255, 255));
  int windowX = origin.x - window.left, windowY = origin.y - window.top;
  EXPECT_EQ(picture.At(windowX + 2, windowY + TwipsToPixels(7700, Dpi())), RGB(64, 64, 64));
  EXPECT_EQ(frmMain().Text(IDT_lblPercent), "50%");

  EXPECT_TRUE(SavePng(picture, ScreenshotPath("main-window.png")));
}

TEST_F(MainWindowTest, MovingToAMonitorOfAnotherDpiLaysEverythingOutAgain) {
  const UINT original = Dpi();
  for (UINT dpi : {144u, 192u, original}) {
    SCOPED_TRACE(dpi);
    RECT suggested{0, 0, TwipsToPixels(6285, dpi) + 16, TwipsToPixels(8220, dpi) + 40};
    SendMessageW(frmMain().Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    RECT client;
    GetClientRect(frmMain().Handle(), &client);
    EXPECT_EQ(client.right, TwipsToPixels(6285, dpi));
    // A window taller than the virtual screen is cut to it by the system.
    if (TwipsToPixels(8220, dpi) + 64 < GetSystemMetrics(SM_CYSCREEN)) {
      EXPECT_EQ(client.bottom, TwipsToPixels(8220, dpi));
    }
    RECT install = RectInParent(frmMain().Control(IDB_cmdInstall));
    EXPECT_EQ(install.left, TwipsToPixels(120, dpi));
    EXPECT_EQ(install.right - install.left, TwipsToPixels(5775, dpi));
    RECT website = RectInParent(frmMain().Control(IDT_lblWebsite));
    EXPECT_EQ(website.bottom, TwipsToPixels(7770 + 375, dpi));
    // The fonts follow: bold Tahoma 8.25 pt is 11 pixels high at 96 DPI.
    auto font = reinterpret_cast<HFONT>(SendMessageW(frmMain().Control(IDE_txtFlatOutGameFolder), WM_GETFONT, 0, 0));
    LOGFONTW description{};
    GetObjectW(font, sizeof(description), &description);
    EXPECT_EQ(-description.lfHeight, MulDiv(83, static_cast<int>(dpi), 720));
    EXPECT_EQ(description.lfWeight, FW_BOLD);
  }
}

TEST_F(MainWindowTest, NewestProgressEntryStandsFirst) {
  SetWindowTextW(frmMain().Control(IDE_txtProgress), L"");
  frmMain().PrependProgressText("one\r\n");
  frmMain().PrependProgressText("two\r\n");
  EXPECT_EQ(frmMain().Text(IDE_txtProgress), "two\r\none\r\n");
}

}  // namespace
