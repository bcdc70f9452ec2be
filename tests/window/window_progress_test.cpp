#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "support/text.h"
#include "window/window_under_test.h"

namespace {

// What the window shows of a run's progress: the entries, the title.
class ProgressDisplayTest : public WindowSuite {};

TEST_F(ProgressDisplayTest, NewestProgressEntryStandsFirst) {
  SetWindowTextW(Window().Control(ControlId::ProgressText), L"");
  Ui().PrependProgressText("", "one");
  Ui().PrependProgressText("", "two");
  EXPECT_EQ(Window().Text(ControlId::ProgressText), "two\r\none\r\n");
}

std::string TitleOf(HWND window) {
  wchar_t text[256] = {};
  GetWindowTextW(window, text, 256);
  return Narrow(text);
}

// A title change may be held back for a moment: waits, pumping, as a person
// would, until the title reads `expected` (or gives up after five seconds).
std::string SettledTitle(WindowUserInterface& ui, HWND window, const std::string& expected) {
  for (ULONGLONG start = GetTickCount64(); TitleOf(window) != expected && GetTickCount64() - start < 5000; Sleep(10))
    ui.PumpMessages();
  return TitleOf(window);
}

WNDPROC titleCountedProc = nullptr;
int titlesSet = 0;

LRESULT CALLBACK CountTitles(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SETTEXT) ++titlesSet;
  return CallWindowProcW(titleCountedProc, window, message, wParam, lParam);
}

TEST_F(ProgressDisplayTest, TitleShowsTheProgressAndAToolAtWorkWhileTheRunIsOnAtMostFiveTimesASecond) {
  HWND window = Window().Handle();
  auto settles = [window](const std::string& expected) { EXPECT_EQ(SettledTitle(Ui(), window, expected), expected); };
  // A report logged at start-up moves the bar, but the title stays the one tools look for.
  Ui().ShowProgress(1, 212, "0%");
  Ui().PumpMessages();
  EXPECT_EQ(TitleOf(window), "FlatOut - ZEM7 Mod Installer");
  Ui().BeginInstallation();
  Ui().ShowProgress(78, 212, "37%");
  settles("37% - FlatOut - ZEM7 Mod Installer");
  Ui().ShowToolActivity("makebfs.exe", 102);
  settles("37% - makebfs.exe working, 1:42 - FlatOut - ZEM7 Mod Installer");
  Ui().ShowToolActivity("", 0);
  settles("37% - FlatOut - ZEM7 Mod Installer");
  // The title is redrawn only when what it shows changes: an entry at the
  // same percentage leaves it alone.
  SetWindowTextW(window, L"left alone");
  Ui().ShowProgress(79, 212, "37%");
  Ui().PumpMessages();
  EXPECT_EQ(TitleOf(window), "left alone");

  // Entries a few milliseconds apart (a run's deletes) would redraw it with
  // each new percentage, at more than the entry's own cost under Wine; the
  // last one is shown even though no further entry comes.
  titleCountedProc =
      reinterpret_cast<WNDPROC>(SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountTitles)));
  titlesSet = 0;
  ULONGLONG start = GetTickCount64();
  for (int entry = 1; entry <= 100; ++entry) {
    Ui().ShowProgress(entry, 100, std::to_string(entry) + "%");
    Ui().PumpMessages();
  }
  ULONGLONG elapsed = GetTickCount64() - start;
  EXPECT_LE(titlesSet, static_cast<int>(2 + elapsed / 200)) << "in " << elapsed << " ms";
  SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(titleCountedProc));
  settles("100% - FlatOut - ZEM7 Mod Installer");

  // A change still held back when the run ends is dropped with it.
  Ui().ShowProgress(101, 212, "48%");
  Ui().EndInstallation();
  EXPECT_EQ(TitleOf(window), "FlatOut - ZEM7 Mod Installer");
  Ui().ShowProgress(102, 212, "48%");
  Ui().PumpMessages();
  EXPECT_EQ(TitleOf(window), "FlatOut - ZEM7 Mod Installer");
}

}  // namespace
