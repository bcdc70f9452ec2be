#include "support/process_runner.h"

#include <windows.h>

#include "support/error_report.h"
#include "support/handles.h"
#include "support/program_start.h"
#include "support/pumping_wait.h"
#include "support/runtime_error.h"
#include "support/text.h"

namespace {

constexpr const char* kLocation = "ShellAndWaitForTermination";
// A tool is named once it has worked this long: most end sooner.
constexpr ULONGLONG kQuietMs = 2000;

// Asks the process object itself rather than comparing the exit code with
// STILL_ACTIVE: a program may well end with code 259, and would then seem to
// run until the time-out.
bool HasEnded(HANDLE process) {
  DWORD state = WaitForSingleObject(process, 0);
  if (state == WAIT_FAILED) ThrowLastError();
  return state == WAIT_OBJECT_0;
}

// The program's file name, for the user: the first word of its command line.
std::string ProgramName(const std::string& commandLine) {
  std::string program = commandLine.starts_with('"') ? commandLine.substr(1, commandLine.find('"', 1) - 1)
                                                     : commandLine.substr(0, commandLine.find(' '));
  return program.substr(program.find_last_of('\\') + 1);
}

// Tells the user, once a second after the first quiet ones, that the tool is still at work.
class ActivityReport {
 public:
  ActivityReport(UserInterface& ui, std::string program) : ui_(ui), program_(std::move(program)) {}
  ~ActivityReport() {
    if (shown_) ui_.ShowToolActivity("", 0);
  }
  void Update(ULONGLONG elapsedMs) {
    unsigned seconds = static_cast<unsigned>(elapsedMs / 1000);
    if (elapsedMs < kQuietMs || (shown_ && seconds == lastSeconds_)) return;
    shown_ = true;
    lastSeconds_ = seconds;
    ui_.ShowToolActivity(program_, seconds);
  }

 private:
  UserInterface& ui_;
  std::string program_;
  bool shown_ = false;
  unsigned lastSeconds_ = 0;
};

// The job is made with the first tool; a system that has none to give runs the tools without.
HANDLE ToolJob(ToolSettings& tools) {
  if (tools.job) return tools.job.Get();
  tools.job.Reset(CreateJobObjectW(nullptr, nullptr));
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (tools.job &&
      !SetInformationJobObject(tools.job.Get(), JobObjectExtendedLimitInformation, &limits, sizeof(limits)))
    tools.job.Reset();
  return tools.job.Get();
}

// A stop ends the program and what it started (its job) at once.
void EndIfStopRequested(RunContext& run, HANDLE process, HANDLE job) {
  if (!run.stopRequested) return;
  job ? TerminateJobObject(job, ERROR_CANCELLED) : TerminateProcess(process, ERROR_CANCELLED);
  WaitForSingleObject(process, 1000);
  throw InstallationStopped{};
}

// A tool that shares the installer's console ends on the Ctrl+C meant for
// the installer as well, and its end may be seen before the installer's own
// stop has come: that end is the stop's, not a failure of the tool's.
void AwaitStopAfterConsoleBreak(RunContext& run, HANDLE process) {
  constexpr uint32_t kStopOnItsWayMs = 1000;
  DWORD exitCode = 0;
  if (GetExitCodeProcess(process, &exitCode) && exitCode == STATUS_CONTROL_C_EXIT) PumpingPause(run, kStopOnItsWayMs);
}

// The thread sleeps on the process itself, so its end is seen the moment it
// comes, and on the window's messages, which are pumped as they arrive.
bool WaitForEnd(RunContext& run, HANDLE process, HANDLE job, int32_t timeoutMs, ActivityReport& activity) {
  bool ended = WaitPumping(run, process, timeoutMs, [&](uint64_t elapsedMs) {
    EndIfStopRequested(run, process, job);
    activity.Update(elapsedMs);
  });
  if (!ended) return HasEnded(process);  // one that ended as the time ran out has not timed out
  AwaitStopAfterConsoleBreak(run, process);
  return true;
}

ProcessResult RunAndWait(RunContext& run, const std::string& commandLine, int windowStyle, std::string& message,
                         int32_t timeoutMs, Lifetime lifetime, HANDLE output) {
  HANDLE job = nullptr;
  UniqueHandle process = TrapResult(run.reporter, kLocation, UniqueHandle(), [&] {
    job = lifetime == Lifetime::EndsWithInstaller ? ToolJob(run.tools) : nullptr;
    return StartProgram(commandLine, windowStyle, job, output);
  });
  if (!process) return {ProcessEnd::NotStarted};
  ActivityReport activity(run.ui, ProgramName(commandLine));
  return TrapResult(run.reporter, kLocation, ProcessResult{ProcessEnd::TimedOut}, [&] {
    if (!WaitForEnd(run, process.Get(), job, timeoutMs, activity)) {
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

// Deleted by the system once the last handle closes, the program's included,
// however either of them ends.
UniqueFile CreateOutputFile() {
  wchar_t folder[MAX_PATH + 1], name[MAX_PATH + 1];
  if (!GetTempPathW(MAX_PATH + 1, folder) || !GetTempFileNameW(folder, L"zem", 0, name)) return UniqueFile();
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  UniqueFile file(CreateFileW(name, GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inheritable, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  if (!file) {
    DWORD error = GetLastError();
    DeleteFileW(name);  // the empty file that reserved the name
    SetLastError(error);
  }
  return file;
}

// The program wrote through the same open file: it is read from its start.
std::string ReadFromStart(HANDLE file) {
  std::string bytes;
  if (SetFilePointer(file, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) return bytes;
  char buffer[64 * 1024];
  for (DWORD read = 0; ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0;) bytes.append(buffer, read);
  return bytes;
}

}  // namespace

ProcessResult ShellAndWaitForTermination(RunContext& run, const std::string& commandLine, int windowStyle,
                                         std::string& message, int32_t timeoutMs, Lifetime lifetime) {
  return RunAndWait(run, commandLine, windowStyle, message, timeoutMs, lifetime, nullptr);
}

ProcessResult ShellAndReadOutput(RunContext& run, const std::string& commandLine, int windowStyle,
                                 std::string& output) {
  UniqueFile file = CreateOutputFile();
  if (!file) {
    DWORD error = GetLastError();
    run.reporter.Report(kLocation, RuntimeError(static_cast<int32_t>(error),
                                                Message(IDS_FAILED_TOOL_OUTPUT, {Message::SystemError(error)})));
    return {ProcessEnd::NotStarted};
  }
  std::string message;
  ProcessResult result =
      RunAndWait(run, commandLine, windowStyle, message, kNoTimeLimitMs, Lifetime::EndsWithInstaller, file.Get());
  if (result.end == ProcessEnd::Ended) output = ReadFromStart(file.Get());
  return result;
}
