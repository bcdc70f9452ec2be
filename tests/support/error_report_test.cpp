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

// The box asks Windows for its text in the player's language (Wine has the
// German one); the log keeps the system's default, as it always has.
TEST_F(ErrorReportTest, TrapReportsWin32ErrorWithSystemTextAndReturnsNeutral) {
  ui.language = Language::German;
  std::string result = TrapResult<std::string>(run->reporter, "modMain::GetShortPath", "",
                                               []() -> std::string { ThrowWin32Error(ERROR_FILE_NOT_FOUND); });
  EXPECT_EQ(result, "");
  ASSERT_EQ(ui.messages.size(), 1u);
  std::string english = SystemMessage(ERROR_FILE_NOT_FOUND),
              german = SystemMessage(ERROR_FILE_NOT_FOUND, Language::German);
  EXPECT_NE(german, english);
  EXPECT_EQ(ui.messages[0].text, "ERROR: 2, " + english + "\r\nLocation: modMain::GetShortPath");
  EXPECT_EQ(ui.messages[0].shown, "FEHLER: 2, " + german + "\r\nOrt: modMain::GetShortPath");
  EXPECT_EQ(LogTexts(folder / "ZEM7InstallLog.txt"),
            (std::vector<std::string>{"ERROR: 2, " + english, "Location: modMain::GetShortPath"}));
  // A code the system has no text for is named by its number.
  EXPECT_EQ(SystemMessage(0x2FFFFFFF), "Error 805306367");
  EXPECT_EQ(SystemMessage(0x2FFFFFFF, Language::German), "Fehler 805306367");
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
