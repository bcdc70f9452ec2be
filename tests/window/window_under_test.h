#pragma once
// The program's window, made once for a whole suite of tests, as the program
// has it: the window, its user interface, and the run they serve.
#include <windows.h>

#include <gtest/gtest.h>

#include <utility>

#include "common/scripted_ui.h"
#include "window/main_window.h"
#include "window/window_user_interface.h"

struct WindowUnderTest {
  WindowUnderTest() : ui(window), run(ui, InstallPlan::ForInstallerFolder(".")) {
    window.Create(commands, run.reporter);
    window.Show();
    SetWindowPos(window.Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE);
    ui.PumpMessages();
  }
  MainWindow window;
  WindowUserInterface ui;
  RunContext run;
  IdleCommands commands;
};

class WindowSuite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { shown = new WindowUnderTest; }
  // Closing the window ends the program's message loop; the next suite's
  // window must not take that quit for its own.
  static void TearDownTestSuite() {
    delete std::exchange(shown, nullptr);
    MSG quit;
    PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
  }
  static MainWindow& Window() { return shown->window; }
  static WindowUserInterface& Ui() { return shown->ui; }

  inline static WindowUnderTest* shown = nullptr;
};
