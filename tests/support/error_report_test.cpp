#include "support/error_report.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "common/scripted_ui.h"
#include "common/temp_folder.h"
#include "support/run_context.h"

namespace {

class ErrorReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    run = NewRun(ui, folder.Path());
    ui.AnswerAllWithOk();
  }
  TempFolder folder;
  ScriptedUi ui;
  std::unique_ptr<RunContext> run;
};

TEST(ErrorReportText, HasNumberDescriptionAndLocationOnTwoLines) {
  EXPECT_EQ(FormatErrorReport(-2147221502, "Unable to open registry key 'HKLM\\X\\Y'", "modMain::GetFlatOutGameFolder")
                .English(),
            "ERROR: -2147221502, Unable to open registry key 'HKLM\\X\\Y'\r\nLocation: modMain::GetFlatOutGameFolder");
  EXPECT_EQ(FormatErrorReport(53, "", "modZEM7::CopyTracks").English(), "ERROR: 53, \r\nLocation: modZEM7::CopyTracks");
}

TEST_F(ErrorReportTest, ReportWithoutSystemErrorShowsZeroLogsAndResetsCursor) {
  run->reporter.Report("modZEM7::SafeCopyFile", RuntimeError(0, "The file to copy \"C:\\x\" does not exist."));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text,
            "ERROR: 0, The file to copy \"C:\\x\" does not exist.\r\nLocation: modZEM7::SafeCopyFile");
  EXPECT_EQ(ui.messages[0].title, "ZEM7Installer");
  EXPECT_EQ(ui.messages[0].style, static_cast<unsigned>(MB_OK));
  ASSERT_FALSE(ui.pointers.empty());
  EXPECT_EQ(ui.pointers.front(), MousePointer::Default);
  EXPECT_EQ(run->log.EntryCount(), 1);
  EXPECT_EQ(LogTexts(folder / "ZEM7InstallLog.txt"),
            (std::vector<std::string>{"ERROR: 0, The file to copy \"C:\\x\" does not exist.",
                                      "Location: modZEM7::SafeCopyFile"}));
}

TEST_F(ErrorReportTest, TrapReportsWin32ErrorWithSystemTextAndReturnsNeutral) {
  std::string result = TrapResult<std::string>(run->reporter, "modMain::GetShortPath", "",
                                               []() -> std::string { ThrowWin32Error(ERROR_FILE_NOT_FOUND); });
  EXPECT_EQ(result, "");
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text.rfind("ERROR: 2, " + SystemMessage(ERROR_FILE_NOT_FOUND) + "\r\n", 0), 0u);
  EXPECT_TRUE(ui.messages[0].text.ends_with("Location: modMain::GetShortPath"));
}

TEST_F(ErrorReportTest, TwoFailuresGiveTwoBoxesAndTwoLogBlocksInOrder) {
  bool secondRan = false;
  Trap(run->reporter, "modZEM7::CopyFlatOutFiles", [] { throw RuntimeError(53, "File not found"); });
  Trap(run->reporter, "modZEM7::CopyZEM7Files", [&] {
    secondRan = true;
    throw RuntimeError(76, "Path not found");
  });
  EXPECT_TRUE(secondRan);
  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(LogTexts(folder / "ZEM7InstallLog.txt"),
            (std::vector<std::string>{"ERROR: 53, File not found", "Location: modZEM7::CopyFlatOutFiles",
                                      "ERROR: 76, Path not found", "Location: modZEM7::CopyZEM7Files"}));
}

}  // namespace
