#include "fileops/batch_delete.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "common/scripted_ui.h"
#include "common/temp_folder.h"
#include "support/run_context.h"
#include "support/text.h"

namespace {

class BatchDeleteTest : public ::testing::Test {
 protected:
  void SetUp() override { run = NewRun(ui, work.Path()); }
  TempFolder work{"batch delete"};  // a blank in every path below
  ScriptedUi ui;
  std::unique_ptr<RunContext> run;
};

TEST_F(BatchDeleteTest, DeletesAFolderWithBlanksButNotTheSiblingNamedByItsFirstWord) {
  std::string target = work / "Games\\FlatOut - ZEM7";
  std::string game = work / "Games\\FlatOut";
  WriteFile(target + "\\data\\tracks\\x.txt", "x");
  WriteFile(target + "\\locked.txt", "x");
  MakeReadOnly(target + "\\locked.txt");
  WriteFile(game + "\\FlatOut.exe", "the user's game");

  BatchDeleteFolder(*run, target);

  EXPECT_FALSE(FolderExists(target));
  EXPECT_EQ(ReadFile(game + "\\FlatOut.exe"), "the user's game");
  EXPECT_FALSE(FileExists(work / "Games\\DelFolder.bat"));
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(BatchDeleteTest, MissingFolderRunsNoDeleteCommandAtAll) {
  // An empty path in "RMDIR /S /Q" would name the current folder.
  WriteFile(work / "Games\\keep.txt", "x");
  SetCurrentDirectoryW(Widen(work / "Games").c_str());
  BatchDeleteFolder(*run, work / "Games\\absent");
  SetCurrentDirectoryW(Widen(work.Path()).c_str());
  EXPECT_TRUE(FileExists(work / "Games\\keep.txt"));
  EXPECT_FALSE(FileExists(work / "Games\\DelFolder.bat"));
}

TEST(BatchDeleteCommandTest, BatchFileIsStartedByItsWholeQuotedPath) {
  // Unquoted, "...\Temp\zem7decoy here-...\DelFolder.bat" would first start "...\Temp\zem7decoy.exe".
  TempFolder work{"zem7decoy here"};
  ScriptedUi ui;
  std::unique_ptr<RunContext> run = NewRun(ui, work.Path());
  std::string decoy = work.Path().substr(0, work.Path().find("zem7decoy here")) + "zem7decoy.exe";
  std::string stand_in = std::string(ZEM7_STAND_IN_DIR).starts_with("/") ? "Z:" ZEM7_STAND_IN_DIR : ZEM7_STAND_IN_DIR;
  ASSERT_TRUE(CopyFileW(Widen(stand_in + "\\FlatOut.exe").c_str(), Widen(decoy).c_str(), FALSE));
  std::string record = work / "decoy ran.txt";
  SetEnvironmentVariableW(L"ZEM7_RUN_RECORD", Widen(record).c_str());
  WriteFile(work / "FlatOut - ZEM7\\x.txt", "x");

  BatchDeleteFolder(*run, work / "FlatOut - ZEM7");

  SetEnvironmentVariableW(L"ZEM7_RUN_RECORD", nullptr);
  DeleteFileW(Widen(decoy).c_str());
  EXPECT_FALSE(FileExists(record)) << ReadFile(record);
  EXPECT_FALSE(FolderExists(work / "FlatOut - ZEM7"));
}

}  // namespace
