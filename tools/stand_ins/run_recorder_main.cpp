// Stand-in for "Velnor2Setup.exe" and "FlatOut.exe": a windowless program
// that records that it ran, so tests can see how the installer started it and
// whether it waited. It appends one UTF-8 line to the file named by
// ZEM7_RUN_RECORD (else "<exe folder>\<exe name>.ran.txt"):
//   <exe file name>|<command line>|<current folder>|<wShowWindow or -1>|<start tick>|<end tick>
// With ZEM7_DOUBLE_WAITS (the setup program) it stays ZEM7_SETUP_DELAY_MS
// milliseconds before it ends; the end tick is taken after that wait.
#include <windows.h>

#include <exception>
#include <string>

#include "archive.h"
#include "stand_in.h"
#include "support/text.h"

namespace {

// -1 stands for "the starter did not say how to show the window".
int ShowWindowRequest() {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  GetStartupInfoW(&startup);
  return (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
}

std::string RecordPath(const std::string& exePath) {
  return EnvironmentValue("ZEM7_RUN_RECORD")
      .value_or(JoinPath(FolderPart(exePath), FileNamePart(exePath) + ".ran.txt"));
}

// Sleep may end a tick early by the tick counter; the record must show the whole delay.
[[maybe_unused]] void WaitFrom(ULONGLONG start, unsigned long milliseconds) {
  for (ULONGLONG waited = GetTickCount64() - start; waited < milliseconds; waited = GetTickCount64() - start)
    Sleep(static_cast<DWORD>(milliseconds - waited));
}

}  // namespace

int wmain() {
  ULONGLONG start = GetTickCount64();
  std::string exePath = OwnExePath();
#ifdef ZEM7_DOUBLE_WAITS
  WaitFrom(start, ParseMilliseconds(EnvironmentValue("ZEM7_SETUP_DELAY_MS").value_or("0"), 0));
#endif
  std::string line = FileNamePart(exePath) + "|" + Narrow(GetCommandLineW()) + "|" + CurrentFolder() + "|" +
                     std::to_string(ShowWindowRequest()) + "|" + std::to_string(start) + "|" +
                     std::to_string(GetTickCount64()) + "\r\n";
  try {
    AppendBytes(RecordPath(exePath), line);
  } catch (const std::exception&) {
    return 1;  // nobody would see a message: the missing line tells the test
  }
  return 0;
}
