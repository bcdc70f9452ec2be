#include "support/program_start.h"

#include <windows.h>

#include "support/runtime_error.h"
#include "support/text.h"

UniqueHandle StartProgram(const std::string& commandLine, int windowStyle) {
  if (windowStyle < 0 || windowStyle > SW_MAX) ThrowInvalidArgument();
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(windowStyle);
  PROCESS_INFORMATION process{};
  // Under load, Wine now and then refuses a start with an internal error and
  // takes the same start a moment later; no process exists after a refusal.
  for (int attempt = 1;; ++attempt) {
    // CreateProcessW may write into the command line, so it gets its own copy.
    std::wstring line = Widen(commandLine);
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) break;
    if (GetLastError() != ERROR_INTERNAL_ERROR || attempt == 3) ThrowLastError();
    Sleep(200);
  }
  // Only the process is waited on; its first thread's handle is not needed.
  CloseHandle(process.hThread);
  return UniqueHandle(process.hProcess);
}
