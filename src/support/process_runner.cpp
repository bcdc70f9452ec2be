#include "support/process_runner.h"

#include <windows.h>

#include "support/error_report.h"
#include "support/handles.h"
#include "support/installer_state.h"
#include "support/runtime_error.h"
#include "support/text.h"

namespace {

constexpr const char* kLocation = "ShellAndWaitForTermination";
constexpr DWORD kPollIntervalMs = 100;

struct StartedProcess {
  UniqueHandle process;
  UniqueHandle thread;  // never used, but ours to close
};

StartedProcess StartProcess(const std::string& commandLine, int windowStyle) {
  if (windowStyle < 0 || windowStyle > SW_MAX) ThrowInvalidArgument();
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(windowStyle);
  // CreateProcessW may write into the command line, so it gets its own copy.
  std::wstring line = Widen(commandLine);
  PROCESS_INFORMATION started = {};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started))
    ThrowLastError();
  return {UniqueHandle(started.hProcess), UniqueHandle(started.hThread)};
}

// Asks the process object itself rather than comparing the exit code with
// STILL_ACTIVE: a program may well end with code 259, and would then seem to
// run until the time-out.
bool HasEnded(HANDLE process) {
  DWORD state = WaitForSingleObject(process, 0);
  if (state == WAIT_FAILED) ThrowLastError();
  return state == WAIT_OBJECT_0;
}

// Polls rather than blocks, so that the window keeps repainting. Even a
// program that has ended already costs one pass and one pause.
bool WaitForEnd(HANDLE process, int32_t timeoutMs) {
  ULONGLONG start = GetTickCount64();  // 64 bits: no wrap after 49.7 days
  for (;;) {
    bool ended = HasEnded(process);
    UI().PumpMessages();
    Sleep(kPollIntervalMs);
    if (ended) return true;
    // A program that ended during the last pause has not timed out.
    if (static_cast<long long>(GetTickCount64() - start) > timeoutMs) return HasEnded(process);
  }
}

}  // namespace

bool ShellAndWaitForTermination(const std::string& commandLine, int windowStyle, std::string& message,
                                int32_t timeoutMs) {
  return TrapResult(kLocation, false, [&] {
    StartedProcess started = StartProcess(commandLine, windowStyle);
    if (WaitForEnd(started.process.Get(), timeoutMs)) return true;
    // The program is left running: it may still finish its work, and killing
    // an unpacker half-way would do more harm than waiting longer.
    message = "The process has timed out.";
    return false;
  });
}
