#include "support/process_runner.h"

#include <windows.h>

#include "support/error_report.h"
#include "support/handles.h"
#include "support/program_start.h"
#include "support/runtime_error.h"

namespace {

constexpr const char* kLocation = "ShellAndWaitForTermination";
constexpr DWORD kPollIntervalMs = 100;

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
bool WaitForEnd(UserInterface& ui, HANDLE process, int32_t timeoutMs) {
  ULONGLONG start = GetTickCount64();  // 64 bits: no wrap after 49.7 days
  for (;;) {
    bool ended = HasEnded(process);
    ui.PumpMessages();
    Sleep(kPollIntervalMs);
    if (ended) return true;
    // A program that ended during the last pause has not timed out.
    if (static_cast<long long>(GetTickCount64() - start) > timeoutMs) return HasEnded(process);
  }
}

}  // namespace

ProcessResult ShellAndWaitForTermination(RunContext& run, const std::string& commandLine, int windowStyle,
                                         std::string& message, int32_t timeoutMs) {
  UniqueHandle process =
      TrapResult(run.reporter, kLocation, UniqueHandle(), [&] { return StartProgram(commandLine, windowStyle); });
  if (!process) return {ProcessEnd::NotStarted};
  return TrapResult(run.reporter, kLocation, ProcessResult{ProcessEnd::TimedOut}, [&] {
    if (!WaitForEnd(run.ui, process.Get(), timeoutMs)) {
      // The program is left running: it may still finish its work, and killing
      // an unpacker half-way would do more harm than waiting longer.
      message = "The process has timed out.";
      return ProcessResult{ProcessEnd::TimedOut};
    }
    DWORD exitCode = 0;
    if (!GetExitCodeProcess(process.Get(), &exitCode)) ThrowLastError();
    return ProcessResult{ProcessEnd::Ended, exitCode};
  });
}
