#include "support/progress_log.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "common/scripted_ui.h"
#include "common/temp_folder.h"
#include "support/run_context.h"
#include "support/runtime_error.h"
#include "support/text_file.h"

namespace {

class ProgressLogTest : public ::testing::Test {
 protected:
  void SetUp() override { run = NewRun(ui, folder.Path()); }
  std::string LogPath() const { return folder / "ZEM7InstallLog.txt"; }
  TempFolder folder;
  ScriptedUi ui;
  std::unique_ptr<RunContext> run;
};

TEST_F(ProgressLogTest, CounterAndPercentFollowTheFixedScaleAndStopAt213) {
  struct Expected {
    int entry;
    int count;
    const char* percent;
  };
  const Expected table[] = {{1, 1, "0%"},       {2, 2, "1%"},       {106, 106, "50%"},
                            {212, 212, "100%"}, {213, 213, "100%"}, {300, 213, "100%"}};
  int written = 0;
  for (const auto& expected : table) {
    while (written < expected.entry) {
      run->log.Write("entry " + std::to_string(++written));
    }
    EXPECT_EQ(run->log.EntryCount(), expected.count) << "entry " << expected.entry;
    EXPECT_EQ(ui.percentText, expected.percent) << "entry " << expected.entry;
    EXPECT_EQ(ui.barEntries, expected.count);
    EXPECT_EQ(ui.barScale, 212);
  }
}

TEST_F(ProgressLogTest, BoxIsNewestFirstAndFileIsInOrderWithTwoLineEntries) {
  run->log.Write("first");
  run->log.Write("ERROR: 0, \r\nLocation: modZEM7::SafeCopyFile");
  run->log.Write("third");

  EXPECT_EQ(LogTexts(LogPath()),
            (std::vector<std::string>{"first", "ERROR: 0, ", "Location: modZEM7::SafeCopyFile", "third"}));
  std::string content = ReadFile(LogPath());
  EXPECT_NE(content.find(" : 0% : first\r\n"), std::string::npos);
  EXPECT_NE(content.find(" : 1% : ERROR: 0, \r\nLocation: modZEM7::SafeCopyFile\r\n"), std::string::npos);
  EXPECT_TRUE(content.ends_with(" : 1% : third\r\n"));

  size_t third = ui.progressText.find("third");
  size_t first = ui.progressText.find("first");
  ASSERT_NE(third, std::string::npos);
  EXPECT_LT(third, ui.progressText.find("ERROR: 0"));
  EXPECT_LT(ui.progressText.find("ERROR: 0"), first);
  EXPECT_EQ(ui.progressText.find(TimeOfDayText().substr(0, 2)), 0u);
}

TEST_F(ProgressLogTest, NewLogIsUtf8AfterOneByteOrderMarkAndNamesEveryFolderAsItIs) {
  const std::string folderName = "C:\\Users\\\u0418\u0432\u0430\u043d\\\u0418\u0433\u0440\u044b";  // Иван\Игры
  run->log.Write("Copying folder: " + folderName);
  run->log.Write("next");

  std::string content = ReadFile(LogPath());
  EXPECT_TRUE(content.starts_with("\xEF\xBB\xBF"));
  EXPECT_EQ(content.find("\xEF\xBB\xBF", 1), std::string::npos);
  EXPECT_NE(content.find(" : 0% : Copying folder: " + folderName + "\r\n"), std::string::npos);
  EXPECT_EQ(LogTexts(LogPath()), (std::vector<std::string>{"Copying folder: " + folderName, "next"}));
}

TEST_F(ProgressLogTest, AppendsToAnExistingLogAndPumpsMessagesAroundEachEntry) {
  WriteFile(LogPath(), "earlier\r\n");
  run->log.Write("next");
  EXPECT_EQ(LogTexts(LogPath()), (std::vector<std::string>{"earlier", "next"}));
  EXPECT_EQ(ui.pumps, 2);
  // An older log, in the ANSI code page, stays in it: a character the code
  // page lacks is never written as a look-alike: "?" there, an error in a file
  // a program reads ("in.txt").
  run->log.Write("G\u0101mes");
  EXPECT_EQ(LogTexts(LogPath()).back(), "G?mes");
  EXPECT_TRUE(ReadFile(LogPath()).starts_with("earlier\r\n"));
  EXPECT_THROW(WriteAnsiText(folder / "in.txt", "g\u0101mes"), RuntimeError);
}

TEST_F(ProgressLogTest, UnwritableLogIsReportedOnceAndProgressGoesOn) {
  // A folder in the log's place: no file can be opened there, whoever we run as.
  MakeFolders(LogPath());
  ui.AnswerAllWithOk();
  for (int i = 0; i < 5; ++i) run->log.Write("entry");

  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_TRUE(ui.messages[0].text.ends_with("\r\nLocation: modMain::ProgressLog"));
  // Five entries plus the report itself, all shown in the window.
  EXPECT_EQ(run->log.EntryCount(), 6);
  EXPECT_TRUE(ui.progressText.find("Location: modMain::ProgressLog") != std::string::npos);
}

}  // namespace
