#include "support/process_runner.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "common/scripted_ui.h"
#include "common/temp_folder.h"
#include "support/path_helpers.h"
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

TEST_F(ProcessRunnerTest, ProgramThatEndsIsWaitedForWithOnePassAtLeast) {
  EXPECT_TRUE(Run(Sleeper(0, "/done:" + (folder / "done.txt")), 10000));
  EXPECT_EQ(message, "untouched");
  EXPECT_TRUE(FileExists(folder / "done.txt"));
  EXPECT_GE(ui.pumps, 1);
  EXPECT_GE(elapsedMs, 80u);  // one pause of about 100 ms, on a coarse clock
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ProcessRunnerTest, MessagesArePumpedAndAToolPastTwoSecondsIsNamedWhileItRuns) {
  EXPECT_TRUE(Run(Sleeper(2600), 20000));
  EXPECT_GE(ui.pumps, 20);
  ASSERT_GE(ui.toolActivity.size(), 2u);
  EXPECT_EQ(ui.toolActivity.front(), std::make_pair(std::string("sleeper.exe"), 2u));
  EXPECT_EQ(ui.toolActivity.back(), std::make_pair(std::string(), 0u));

  // The design's pauses answer the window every 50 ms too.
  ui.pumps = 0;
  ULONGLONG start = GetTickCount64();
  PumpingPause(*run, 300);
  EXPECT_GE(GetTickCount64() - start, 290u);
  EXPECT_GE(ui.pumps, 6);
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
