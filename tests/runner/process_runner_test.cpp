#include "support/process_runner.h"

#include <windows.h>

#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <atomic>

#include "common/scripted_ui.h"
#include "common/temp_folder.h"
#include "support/handles.h"
#include "support/path_helpers.h"
#include "support/pumping_wait.h"
#include "support/run_context.h"
#include "support/text.h"

namespace {

constexpr const char* kTimedOut = "The process has timed out.";

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// Built beside this test program by the same CMake folder.
std::string SleeperPath() { return ExecutableFolder() + "\\sleeper.exe"; }

std::string Sleeper(int sleepMs, const std::string& options = "") {
  return Quoted(SleeperPath()) + " " + std::to_string(sleepMs) + (options.empty() ? "" : " " + options);
}

bool WaitForFile(const std::string& path, DWORD timeoutMs) {
  ULONGLONG start = GetTickCount64();
  while (!FileExists(path)) {
    if (GetTickCount64() - start > timeoutMs) return false;
    Sleep(50);
  }
  return true;
}

constexpr uint64_t kTicksPerMs = 10000;  // FILETIME

uint64_t Ticks(const FILETIME& time) { return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime; }

uint64_t PreciseNow() {
  FILETIME now;
  GetSystemTimePreciseAsFileTime(&now);
  return Ticks(now);
}

// A running child of this test program with the given file name, opened so
// that its end time outlives it.
UniqueHandle OpenChildProcess(const wchar_t* name) {
  UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = snapshot && Process32FirstW(snapshot.Get(), &entry); more;
       more = Process32NextW(snapshot.Get(), &entry))
    if (entry.th32ParentProcessID == GetCurrentProcessId() && _wcsicmp(entry.szExeFile, name) == 0)
      return UniqueHandle(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, entry.th32ProcessID));
  return UniqueHandle();
}

// Posts a message to a thread every 20 ms, from a thread of its own, until stopped.
class Poster {
 public:
  explicit Poster(DWORD target) : target_(target), thread_(CreateThread(nullptr, 0, &Poster::Main, this, 0, nullptr)) {}
  ~Poster() { Stop(); }
  int Stop() {
    stop_ = true;
    if (thread_) WaitForSingleObject(thread_.Get(), INFINITE);
    return posted_;
  }

 private:
  static DWORD WINAPI Main(void* self) {
    auto poster = static_cast<Poster*>(self);
    for (; !poster->stop_; Sleep(20))
      if (PostThreadMessageW(poster->target_, WM_APP, 0, 0)) ++poster->posted_;
    return 0;
  }
  DWORD target_;
  std::atomic<bool> stop_ = false;
  std::atomic<int> posted_ = 0;
  UniqueHandle thread_;  // last: it starts once the rest is in place
};

class ProcessRunnerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    run = NewRun(ui, folder.Path());
    ASSERT_TRUE(FileExists(SleeperPath())) << SleeperPath();
  }
  // Runs the command and measures how long the call took.
  bool Run(const std::string& commandLine, int32_t timeoutMs, int windowStyle = SW_SHOWMINIMIZED) {
    ULONGLONG start = GetTickCount64();
    struct Elapsed {
      ULONGLONG start;
      ULONGLONG& elapsed;
      ~Elapsed() { elapsed = GetTickCount64() - start; }
    } measure{start, elapsedMs};
    result = ShellAndWaitForTermination(*run, commandLine, windowStyle, message, timeoutMs);
    return result.end == ProcessEnd::Ended;
  }
  // A sleeper left running must finish before its folder is removed; that it
  // does finish also shows it was not killed.
  void ExpectFinishesLater(const std::string& marker) {
    EXPECT_FALSE(FileExists(marker)) << "should still be running";
    EXPECT_TRUE(WaitForFile(marker, 20000)) << "was stopped instead of left running";
  }
  TempFolder folder;
  ScriptedUi ui;
  std::unique_ptr<RunContext> run;
  std::string message = "untouched";
  ULONGLONG elapsedMs = 0;
  ProcessResult result;
};

// The wait sleeps on the process: its end is seen as it comes, where a poll
// every 100 ms would see it up to 100 ms late, and never sooner than that.
TEST_F(ProcessRunnerTest, ProgramThatEndsIsSeenAtOnce) {
  std::string program = folder / "seen at once.exe";
  ASSERT_TRUE(CopyFileW(Widen(SleeperPath()).c_str(), Widen(program).c_str(), FALSE));
  UniqueHandle child;
  ui.onPump = [&] {
    if (!child) child = OpenChildProcess(L"seen at once.exe");
  };
  EXPECT_TRUE(Run(Quoted(program) + " 300 " + Quoted("/done:" + (folder / "done.txt")), 10000));
  uint64_t returned = PreciseNow();
  EXPECT_EQ(message, "untouched");
  EXPECT_TRUE(FileExists(folder / "done.txt"));
  EXPECT_TRUE(ui.messages.empty());
  ASSERT_TRUE(child) << "the program was not found running";
  FILETIME created, exited, kernel, user;
  ASSERT_TRUE(GetProcessTimes(child.Get(), &created, &exited, &kernel, &user));
  EXPECT_LT(returned - Ticks(exited), 60 * kTicksPerMs) << "the end was seen late";
}

// Another thread posts to this one while the tool runs: each message wakes
// the wait at once. With nothing to pump, the wait sleeps, but for the
// window's clock a few times a second.
TEST_F(ProcessRunnerTest, MessagesArePumpedAsTheyComeAndAToolPastTwoSecondsIsNamedWhileItRuns) {
  Poster poster(GetCurrentThreadId());
  EXPECT_TRUE(Run(Sleeper(2600), 20000));
  int posted = poster.Stop();
  EXPECT_GE(posted, 20);
  EXPECT_GE(ui.pumps, posted / 2);
  ASSERT_GE(ui.toolActivity.size(), 2u);
  EXPECT_EQ(ui.toolActivity.front(), std::make_pair(std::string("sleeper.exe"), 2u));
  EXPECT_EQ(ui.toolActivity.back(), std::make_pair(std::string(), 0u));

  // The posted messages are still queued, as this interface pumps none: they
  // wake no later wait, and a pause lasts its time.
  ui.pumps = 0;
  ULONGLONG start = GetTickCount64();
  PumpingPause(*run, 1000);
  EXPECT_GE(GetTickCount64() - start, 990u);
  EXPECT_GE(ui.pumps, 2);
  EXPECT_LE(ui.pumps, 12);
  for (MSG queued; PeekMessageW(&queued, nullptr, 0, 0, PM_REMOVE);) {
  }
}

TEST_F(ProcessRunnerTest, StopEndsTheToolWithinASecondAndAToolEndedByCtrlCAwaitsIt) {
  std::string marker = folder / "done.txt";
  ui.onPump = [&] { run->stopRequested = true; };
  bool stopped = false;
  try {
    Run(Sleeper(1500, "/done:" + marker), 20000);
  } catch (const InstallationStopped&) {
    stopped = true;
  }
  EXPECT_TRUE(stopped);
  EXPECT_LT(elapsedMs, 1000u);
  EXPECT_FALSE(WaitForFile(marker, 2500)) << "the tool went on";

  // A tool sharing the installer's console ends on the same Ctrl+C, and may
  // be seen to end before the installer's own stop arrives: it awaits the stop.
  std::string ended = folder / "ended.txt";
  ULONGLONG endSeen = 0;
  ui.onPump = [&] {
    if (!endSeen && FileExists(ended)) endSeen = GetTickCount64();
    if (endSeen && GetTickCount64() - endSeen > 300) run->stopRequested = true;
  };
  run->stopRequested = false;
  EXPECT_THROW(Run(Sleeper(0, "/exit:-1073741510 /done:" + ended), 8000), InstallationStopped);
}

// The tools die with the installer, however it ends (the job closes with the
// process); a setup the user keeps goes on.
TEST_F(ProcessRunnerTest, ToolsEndWithTheInstallerButAProgramOfTheUsersDoesNot) {
  std::string tool = folder / "tool done.txt", own = folder / "own done.txt";
  EXPECT_FALSE(Run(Sleeper(1500, "/done:" + Quoted(tool)), 200));
  result = ShellAndWaitForTermination(*run, Sleeper(1500, "/done:" + Quoted(own)), SW_SHOWMINIMIZED, message, 200,
                                      Lifetime::OwnProgram);
  run->tools.job.Reset();
  ExpectFinishesLater(own);
  EXPECT_FALSE(WaitForFile(tool, 1000));
}

// 259 is the value GetExitCodeProcess reports for a running process too.
TEST_F(ProcessRunnerTest, ExitCodeThatLooksLikeStillActiveIsNotMistakenForRunning) {
  EXPECT_TRUE(Run(Sleeper(0, "/exit:259"), 8000));
  EXPECT_EQ(result.exitCode, 259u);  // and the tool's exit code comes back
  EXPECT_EQ(message, "untouched");
  EXPECT_LT(elapsedMs, 5000u);
}

TEST_F(ProcessRunnerTest, TimeOutLeavesTheProgramRunningAndSaysSo) {
  std::string marker = folder / "done.txt";
  EXPECT_FALSE(Run(Sleeper(2500, "/done:" + marker), 300));
  EXPECT_EQ(result.end, ProcessEnd::TimedOut);
  EXPECT_EQ(message, kTimedOut);
  EXPECT_GE(elapsedMs, 280u);
  EXPECT_LT(elapsedMs, 2500u);  // returned before the program ended
  ExpectFinishesLater(marker);
}

TEST_F(ProcessRunnerTest, ZeroOrNegativeTimeOutGivesExactlyOnePollingPass) {
  for (int32_t timeoutMs : {0, -1}) {
    SCOPED_TRACE(timeoutMs);
    ui.pumps = 0;
    message = "untouched";
    std::string marker = folder / ("done" + std::to_string(timeoutMs) + ".txt");
    EXPECT_FALSE(Run(Sleeper(1500, "/done:" + marker), timeoutMs));
    EXPECT_EQ(message, kTimedOut);
    EXPECT_EQ(ui.pumps, 1);
    ExpectFinishesLater(marker);
  }
}

TEST_F(ProcessRunnerTest, ProgramThatCannotStartIsReportedOnceAndMessageIsKept) {
  const std::string cases[] = {Quoted(folder / "no such program.exe"), "zem7-no-such-program-anywhere.exe /x"};
  for (const std::string& commandLine : cases) {
    SCOPED_TRACE(commandLine);
    ui.messages.clear();
    ui.AnswerAllWithOk();
    EXPECT_FALSE(Run(commandLine, 1000));
    EXPECT_EQ(result.end, ProcessEnd::NotStarted);
    EXPECT_EQ(message, "untouched");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_TRUE(ui.messages[0].text.starts_with("ERROR: 2, ")) << ui.messages[0].text;
    EXPECT_TRUE(ui.messages[0].text.ends_with("\r\nLocation: ShellAndWaitForTermination")) << ui.messages[0].text;
  }
}

TEST_F(ProcessRunnerTest, WindowStyleReachesTheProgram) {
  for (int style : {SW_SHOWNORMAL, SW_SHOWMINIMIZED}) {
    SCOPED_TRACE(style);
    std::string shown = folder / ("show" + std::to_string(style) + ".txt");
    EXPECT_TRUE(Run(Sleeper(0, "/show:" + shown), 10000, style));
    EXPECT_EQ(ReadFile(shown), "1 " + std::to_string(style));
  }
}

TEST_F(ProcessRunnerTest, QuotedProgramPathWithSpacesRuns) {
  std::string copy = folder / "Program Files Copy\\my sleeper.exe";
  MakeFolders(folder / "Program Files Copy");
  ASSERT_TRUE(CopyFileW(Widen(SleeperPath()).c_str(), Widen(copy).c_str(), FALSE));
  std::string marker = folder / "spaced done.txt";
  EXPECT_TRUE(Run(Quoted(copy) + " 0 " + Quoted("/done:" + marker), 10000));
  EXPECT_TRUE(FileExists(marker));
}

}  // namespace
