#include "fileops/folder_delete.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "common/temp_folder.h"
#include "support/runtime_error.h"
#include "support/text.h"

namespace {

class FolderDeleteTest : public ::testing::Test {
 protected:
  TempFolder work{"folder delete"};  // a blank in every path below
};

TEST_F(FolderDeleteTest, DeletesTheTreeWithReadOnlyFilesButNothingBesideIt) {
  std::string target = work / "Games\\FlatOut - ZEM7";
  std::string game = work / "Games\\FlatOut";
  WriteFile(target + "\\data\\tracks\\x.txt", "x");
  WriteFile(target + "\\locked.txt", "x");
  MakeReadOnly(target + "\\locked.txt");
  WriteFile(game + "\\FlatOut.exe", "the user's game");

  DeleteWholeFolder(target);

  EXPECT_FALSE(FolderExists(target));
  EXPECT_EQ(ListTree(work / "Games"), (std::vector<std::string>{"FlatOut\\", "FlatOut\\FlatOut.exe"}));
}

// A link goes by itself or not at all. Wine opens what a Linux symbolic link
// names whatever it is asked, and by its name would remove an empty folder it
// names: there the link stays, and the delete says the folder is left.
TEST_F(FolderDeleteTest, NeverGoesThroughALinkInsideOrAtTheTop) {
  WriteFile(work / "Saves\\save1.dat", "the user's saves");
  MakeFolders(work / "Empty decoy");
  std::string target = work / "Games\\FlatOut - ZEM7";
  WriteFile(target + "\\x.txt", "x");
  ASSERT_TRUE(MakeFolderLink(target + "\\linked saves", work / "Saves"));
  ASSERT_TRUE(MakeFolderLink(target + "\\linked decoy", work / "Empty decoy"));
  ASSERT_TRUE(MakeFolderLink(work / "link", work / "Empty decoy"));

  for (const std::string& folder : {target, work / "link"}) {
    bool failed = false;
    try {
      DeleteWholeFolder(folder);
    } catch (const RuntimeError& error) {
      failed = true;
      EXPECT_EQ(error.Description(), "The folder \"" + folder + "\" could not be deleted.");
    }
    EXPECT_EQ(failed, FolderExists(folder)) << folder;
  }
  EXPECT_EQ(ReadFile(work / "Saves\\save1.dat"), "the user's saves");
  EXPECT_TRUE(FolderExists(work / "Empty decoy"));
}

TEST_F(FolderDeleteTest, MissingFolderIsNoError) {
  WriteFile(work / "Games\\keep.txt", "x");
  DeleteWholeFolder(work / "Games\\absent");
  EXPECT_TRUE(FileExists(work / "Games\\keep.txt"));
}

TEST_F(FolderDeleteTest, FolderThatOutlivesTheDeleteIsAnError) {
  std::string target = work / "Games\\FlatOut - ZEM7";
  WriteFile(target + "\\held.txt", "x");
  // Held open without delete sharing, as a running program or a scanner might.
  HANDLE held = CreateFileW(Widen(target + "\\held.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  try {
    DeleteWholeFolder(target);
    ADD_FAILURE() << "no error although the folder is still there";
  } catch (const RuntimeError& error) {
    EXPECT_EQ(error.Number(), 145);
    EXPECT_EQ(error.Description(), "The folder \"" + target + "\" could not be deleted.");
  }
  CloseHandle(held);
  EXPECT_TRUE(FileExists(target + "\\held.txt"));
}

}  // namespace
