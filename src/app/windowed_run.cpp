#include "app/windowed_run.h"

#include <windows.h>

#include "app/install_command.h"
#include "app/startup.h"
#include "window/window_user_interface.h"

namespace {

void RunMessageLoop(MainWindow& window) {
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (window.TranslateKeyboard(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace

int RunWindow(const CommandLineOptions& options) {
  LanguageChoice language = ChooseLanguage(options.language);
  MainWindow window(language.language);
  WindowUserInterface ui(window);
  RunContext run(ui, PlanFor(options));
  run.language = language;
  InstallCommands commands(run);
  Main(run, window, commands, options);
  // A start-up that failed before the window was shown has been reported;
  // an invisible window would only linger, so the program ends here.
  bool shown = window.IsOpen() && IsWindowVisible(window.Handle());
  if (shown) RunMessageLoop(window);
  return shown ? kExitInstalled : kExitBadStart;
}
