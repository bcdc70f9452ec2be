#include "support/program_start.h"

#include <windows.h>

#include "support/runtime_error.h"
#include "support/text.h"

UniqueHandle StartProgram(const std::string& commandLine, int windowStyle, HANDLE job) {
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
    DWORD flags = job ? CREATE_SUSPENDED : 0;
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, flags, nullptr, nullptr, &startup, &process))
      break;
    if (GetLastError() != ERROR_INTERNAL_ERROR || attempt == 3) ThrowLastError();
    Sleep(200);
  }
  UniqueHandle started(process.hProcess), thread(process.hThread);
  // A system that cannot put the program in the job (a nested job Wine does
  // not support, say) runs it without: the installation must go on.
  if (job) {
    AssignProcessToJobObject(job, started.Get());
    ResumeThread(thread.Get());
  }
  return started;
}
