#include "fileops/batch_delete.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "common/scripted_ui.h"
#include "common/temp_folder.h"
#include "support/run_context.h"
#include "support/runtime_error.h"
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

// cmd would read "100%ZEM7" as "100ZEM7", and "Gāmes" as "Games", in the
// code page it reads batch files in: each of those is somebody else's folder.
TEST_F(BatchDeleteTest, NamesThatCmdWouldReadAsAnotherFolderNeverReachIt) {
  const std::string cases[][2] = {{"Games\\100%ZEM7", "Games\\100ZEM7"}, {"G\u0101mes\\Target", "Games\\Target"}};
  WriteFile(work / "Games\\DelFolder.bat", "the user's own");
  for (const auto& [target, decoy] : cases) {
    SCOPED_TRACE(target);
    WriteFile(work / (target + "\\x.txt"), "x");
    WriteFile(work / (decoy + "\\keep.txt"), "somebody else's");
    try {
      BatchDeleteFolder(*run, work / target);
      EXPECT_FALSE(FolderExists(work / target));
    } catch (const RuntimeError& error) {  // a path cmd cannot read runs nothing
      EXPECT_NE(error.Description().find("cannot be deleted"), std::string::npos) << error.Description();
    }
    EXPECT_EQ(ReadFile(work / (decoy + "\\keep.txt")), "somebody else's");
  }
  EXPECT_EQ(ReadFile(work / "Games\\DelFolder.bat"), "the user's own");
  EXPECT_EQ(ListTree(work / "Games"), (std::vector<std::string>{"100ZEM7\\", "100ZEM7\\keep.txt", "DelFolder.bat",
                                                                "Target\\", "Target\\keep.txt"}));
}

TEST_F(BatchDeleteTest, FolderThatOutlivesTheBatchFileIsAnError) {
  std::string target = work / "Games\\FlatOut - ZEM7";
  WriteFile(target + "\\held.txt", "x");
  // Held open without delete sharing, as a running program or a scanner might.
  HANDLE held = CreateFileW(Widen(target + "\\held.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  try {
    BatchDeleteFolder(*run, target);
    ADD_FAILURE() << "no error although the folder is still there";
  } catch (const RuntimeError& error) {
    EXPECT_EQ(error.Description(), "The folder \"" + target + "\" could not be deleted.");
  }
  CloseHandle(held);
  EXPECT_TRUE(FileExists(target + "\\held.txt"));
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
