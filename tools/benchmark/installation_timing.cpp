#include "installation_timing.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "fixture.h"
#include "support/handles.h"
#include "support/text.h"

namespace {

constexpr DWORD kLookIntervalMs = 50;
constexpr wchar_t kWindowClass[] = L"ZEM7InstallerWindow";
constexpr char kPackerName[] = "makebfs.exe";
constexpr double kTicksPerSecond = 1e7;  // FILETIME
constexpr DWORD kOutputEndWaitMs = 5000;

uint64_t Ticks(const FILETIME& time) { return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime; }

Life LifeOf(HANDLE process) {
  FILETIME created{}, exited{}, kernel{}, user{};
  if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return {};
  return {Ticks(created), Ticks(exited)};
}

std::string ImageOf(HANDLE process) {
  wchar_t path[MAX_PATH * 4];
  DWORD size = MAX_PATH * 4;
  return QueryFullProcessImageNameW(process, 0, path, &size) ? ToLower(Narrow(std::wstring(path, size))) : "";
}

HWND FindInstallerWindow(DWORD processId) {
  for (HWND window = nullptr; (window = FindWindowExW(nullptr, window, kWindowClass, nullptr)) != nullptr;) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == processId) return window;
  }
  return nullptr;
}

// Tools that overlap count once: what matters is how long the installer had
// a tool to wait for, not the tools' sum.
double SecondsCovered(std::vector<Life> lives) {
  std::sort(lives.begin(), lives.end(), [](const Life& a, const Life& b) { return a.start < b.start; });
  uint64_t covered = 0, reached = 0;
  for (const Life& life : lives) {
    uint64_t from = std::max(life.start, reached);
    if (life.end > from) covered += life.end - from;
    reached = std::max(reached, life.end);
  }
  return static_cast<double>(covered) / kTicksPerSecond;
}

// The installer and every process it starts. The job tells of each new
// process at once, where looking for them now and then would miss the short
// ones; and once closed it ends whatever still runs in it: an installer past
// its limit and the tools it started, which it would otherwise leave behind.
struct WatchedJob {
  UniqueHandle job;
  UniqueHandle port;
};

WatchedJob CreateWatchedJob() {
  WatchedJob watched{UniqueHandle(CreateJobObjectW(nullptr, nullptr)),
                     UniqueHandle(CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1))};
  if (!watched.job) return watched;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  SetInformationJobObject(watched.job.Get(), JobObjectExtendedLimitInformation, &limits, sizeof limits);
  JOBOBJECT_ASSOCIATE_COMPLETION_PORT association{watched.job.Get(), watched.port.Get()};
  SetInformationJobObject(watched.job.Get(), JobObjectAssociateCompletionPortInformation, &association,
                          sizeof association);
  return watched;
}

// Opened at once: the installer holds its own handle until it has seen the
// tool end, so even a short tool can still be opened. Held open, so that the
// child's times and image outlive it; Wine tells the image only once the
// process has started.
void AddChild(DWORD processId, std::vector<UniqueHandle>& children) {
  if (HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId)) children.emplace_back(process);
}

// Waits up to `timeoutMs` for news from the job, then takes all there is.
void TakeNewProcesses(HANDLE port, DWORD timeoutMs, DWORD installerId, std::vector<UniqueHandle>& children) {
  DWORD message = 0;
  ULONG_PTR key = 0;
  OVERLAPPED* detail = nullptr;
  for (DWORD wait = timeoutMs; GetQueuedCompletionStatus(port, &message, &key, &detail, wait); wait = 0) {
    auto processId = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(detail));
    if (message == JOB_OBJECT_MSG_NEW_PROCESS && processId != installerId) AddChild(processId, children);
  }
}

std::wstring CommandLine(const InstallationRun& run, const std::wstring& exe) {
  return L"\"" + exe + L"\" /SILENT /RECREATE \"/DIR=" + Widen(run.targetFolder) + L"\" \"/GAMEDIR=" +
         Widen(run.gameFolder) + L"\" \"/LOG=" + Widen(run.logPath) + L"\"";
}

// Wine's own helpers (the console host, the menu builder that a new shortcut
// starts) live in the Windows folder; the tools come with the mod.
bool IsTool(const std::string& image) {
  wchar_t windows[MAX_PATH];
  UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
  return !image.empty() && !image.starts_with(ToLower(Narrow(std::wstring(windows, length))) + "\\");
}

bool IsPacker(const std::string& image) { return image.ends_with(std::string("\\") + kPackerName); }

void CountTools(const std::vector<UniqueHandle>& children, const Life& installer, InstallationTiming& timing) {
  std::vector<Life> lives;
  for (const UniqueHandle& child : children) {
    std::string image = ImageOf(child.Get());
    if (!IsTool(image)) continue;
    Life life = LifeOf(child.Get());
    // The end is 0 while it runs.
    if (life.end == 0 || life.end > installer.end) life.end = installer.end;
    lives.push_back(life);
    timing.tools.push_back({life, IsPacker(image)});
    ++timing.toolRuns;
    if (IsPacker(image)) ++timing.packerRuns;
  }
  timing.toolSeconds = SecondsCovered(lives);
}

// Reads a pipe to its end on a thread of its own, stamping each line as it
// arrives. The installer writes each progress line as it logs it, before the
// operation the line names.
class StampedReader {
 public:
  explicit StampedReader(UniqueHandle readEnd)
      : readEnd_(std::move(readEnd)), thread_(CreateThread(nullptr, 0, &StampedReader::Main, this, 0, nullptr)) {}
  StampedReader(const StampedReader&) = delete;
  StampedReader& operator=(const StampedReader&) = delete;

  // The output ends when the installer and every tool that shares it have
  // ended; what still holds it after that is ended with the job.
  std::vector<StampedLine> Take(HANDLE job) {
    if (!thread_) return {};
    if (WaitForSingleObject(thread_.Get(), kOutputEndWaitMs) == WAIT_TIMEOUT) {
      TerminateJobObject(job, 1);
      if (WaitForSingleObject(thread_.Get(), kOutputEndWaitMs) == WAIT_TIMEOUT) CancelSynchronousIo(thread_.Get());
      WaitForSingleObject(thread_.Get(), INFINITE);
    }
    return std::move(lines_);
  }

 private:
  static DWORD WINAPI Main(void* self) {
    static_cast<StampedReader*>(self)->ReadAll();
    return 0;
  }

  void ReadAll() {
    char buffer[4096];
    DWORD got = 0;
    std::string partial;
    while (ReadFile(readEnd_.Get(), buffer, sizeof buffer, &got, nullptr) && got > 0) {
      uint64_t now = NowTicks();
      partial.append(buffer, got);
      for (size_t end; (end = partial.find('\n')) != std::string::npos; partial.erase(0, end + 1))
        lines_.push_back({now, partial.substr(0, end > 0 && partial[end - 1] == '\r' ? end - 1 : end)});
    }
    if (!partial.empty()) lines_.push_back({NowTicks(), partial});
  }

  static uint64_t NowTicks() {
    FILETIME now;
    GetSystemTimePreciseAsFileTime(&now);
    return Ticks(now);
  }

  UniqueHandle readEnd_;
  std::vector<StampedLine> lines_;
  UniqueHandle thread_;  // last: it starts once the rest is in place
};

}  // namespace

std::optional<InstallationTiming> TimeWholeInstallation(const InstallationRun& run) {
  std::wstring exe = Widen(run.distributionFolder + "\\" + kInstallerExe);
  std::wstring commandLine = CommandLine(run, exe);
  // Its output comes here rather than mixing with the benchmark's own.
  SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherited, 0)) return std::nullopt;
  UniqueHandle outputRead(readEnd), outputWrite(writeEnd);
  SetHandleInformation(outputRead.Get(), HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = startup.hStdError = outputWrite.Get();
  WatchedJob watched = CreateWatchedJob();
  if (!watched.job || !watched.port) return std::nullopt;
  PROCESS_INFORMATION started{};
  // Suspended until it is in the job, so that no tool escapes it.
  if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr,
                      Widen(run.distributionFolder).c_str(), &startup, &started))
    return std::nullopt;
  UniqueHandle process(started.hProcess), thread(started.hThread);
  AssignProcessToJobObject(watched.job.Get(), process.Get());
  outputWrite.Reset();  // the output ends once no process of the run holds it
  StampedReader output(std::move(outputRead));
  ResumeThread(thread.Get());

  InstallationTiming timing;
  std::vector<UniqueHandle> children;
  std::optional<AnswerMeter> meter;
  ULONGLONG start = GetTickCount64();
  // The wait for the job's news is also the clock of the looks for the window.
  while (!(timing.ended = WaitForSingleObject(process.Get(), 0) == WAIT_OBJECT_0) &&
         static_cast<double>(GetTickCount64() - start) / 1000 < run.limitSeconds) {
    TakeNewProcesses(watched.port.Get(), kLookIntervalMs, started.dwProcessId, children);
    if (!meter)
      if (HWND window = FindInstallerWindow(started.dwProcessId)) meter.emplace(window);
  }
  TakeNewProcesses(watched.port.Get(), 0, started.dwProcessId, children);  // news from just before the end
  if (!timing.ended) {
    TerminateJobObject(watched.job.Get(), 1);
    TerminateProcess(process.Get(), 1);  // when it could not join the job
    WaitForSingleObject(process.Get(), 5000);
  }
  if (meter) timing.answers = meter->Stop();
  DWORD exitCode = 0;
  GetExitCodeProcess(process.Get(), &exitCode);
  timing.exitCode = exitCode;
  Life installer = LifeOf(process.Get());
  installer.end = std::max(installer.end, installer.start);  // still running after all: nothing to divide
  timing.seconds = static_cast<double>(installer.end - installer.start) / kTicksPerSecond;
  CountTools(children, installer, timing);
  timing.installer = installer;
  timing.lines = output.Take(watched.job.Get());
  return timing;
}
