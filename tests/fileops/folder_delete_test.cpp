#include "fileops/folder_delete.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "common/temp_folder.h"
#include "fileops/folder_bounds.h"
#include "fileops/held_tree.h"
#include "support/runtime_error.h"
#include "support/text.h"

namespace {

class FolderDeleteTest : public ::testing::Test {
 protected:
  TempFolder work{"folder delete"};  // a blank in every path below
  const std::string target = work / "Games\\FlatOut - ZEM7";
  const std::string game = work / "Games\\FlatOut";
};

TEST_F(FolderDeleteTest, DeletesTheTreeWithReadOnlyFilesButNothingBesideIt) {
  WriteFile(target + "\\data\\tracks\\x.txt", "x");
  WriteFile(target + "\\locked.txt", "x");
  MakeReadOnly(target + "\\locked.txt");
  WriteFile(game + "\\FlatOut.exe", "the user's game");

  DeleteWholeFolder(target);

  EXPECT_FALSE(FolderExists(target));
  EXPECT_EQ(ListTree(work / "Games"), (std::vector<std::string>{"FlatOut\\", "FlatOut\\FlatOut.exe"}));
}

// A file with several names (a cut-off run leaves the new tracks so, and a
// player may link a game file in) is held through its first name here: its
// other names neither refuse the hold nor count as in use, and they go with
// the rest or are kept, while a name outside keeps the file, its bytes and
// its attribute.
TEST_F(FolderDeleteTest, HeldTreeTakesEveryNameOfAFileAndLeavesTheNamesOutside) {
  WriteFile(target + "\\datafull\\arena\\a.dat", "group");
  WriteFile(game + "\\Common1.bfs", "the user's game");
  MakeReadOnly(game + "\\Common1.bfs");
  auto link = [](const std::string& name, const std::string& existing) {
    MakeFolders(name.substr(0, name.rfind('\\')));
    return CreateHardLinkW(Widen(name).c_str(), Widen(existing).c_str(), nullptr) != FALSE;
  };
  for (const char* name : {"\\datafull\\arenaderby\\a.dat", "\\datafull\\arenawinter\\sub\\a.dat"})
    ASSERT_TRUE(link(target + name, target + "\\datafull\\arena\\a.dat"));
  ASSERT_TRUE(link(target + "\\Common1.bfs", game + "\\Common1.bfs"));

  auto held = FileSystem::HeldTree::Hold(target, {});
  ASSERT_TRUE(std::holds_alternative<std::unique_ptr<FileSystem::HeldTree>>(held))
      << std::get<FileSystem::Obstacle>(held).path << " " << std::get<FileSystem::Obstacle>(held).error;
  auto& tree = *std::get<std::unique_ptr<FileSystem::HeldTree>>(held);
  EXPECT_EQ(tree.Bytes(), std::string("group").size() + std::string("the user's game").size());
  EXPECT_EQ(tree.Files().size(), 4u);
  // A name kept for the player is one that cannot be renamed while its file is held.
  tree.MoveOut("kept", [](const FileSystem::FileFacts& file) -> std::optional<std::string> {
    if (file.path == "datafull\\arenawinter\\sub\\a.dat") return "sub\\a.dat";
    return std::nullopt;
  });
  tree.DeleteAll();

  EXPECT_EQ(ListTree(target), (std::vector<std::string>{"kept\\", "kept\\sub\\", "kept\\sub\\a.dat"}));
  EXPECT_EQ(ReadFile(target + "\\kept\\sub\\a.dat"), "group");
  EXPECT_EQ(ReadFile(game + "\\Common1.bfs"), "the user's game");
  EXPECT_EQ(FileSystem::NameCount(game + "\\Common1.bfs"), 1u);
  EXPECT_TRUE(GetFileAttributesW(Widen(game + "\\Common1.bfs").c_str()) & FILE_ATTRIBUTE_READONLY);
}

// A link goes by itself or not at all. Wine opens what a Linux symbolic link
// names whatever it is asked, and by its name would remove an empty folder it
// names: there the link stays, and the delete says the folder is left.
TEST_F(FolderDeleteTest, NeverGoesThroughALinkInsideOrAtTheTop) {
  WriteFile(work / "Saves\\save1.dat", "the user's saves");
  MakeFolders(work / "Empty decoy");
  WriteFile(target + "\\x.txt", "x");
  ASSERT_TRUE(MakeLink(target + "\\linked saves", work / "Saves"));
  ASSERT_TRUE(MakeLink(target + "\\linked decoy", work / "Empty decoy"));
  ASSERT_TRUE(MakeLink(work / "link", work / "Empty decoy"));

  for (const std::string& folder : {target, work / "link"}) {
    bool failed = false;
    try {
      DeleteWholeFolder(folder);
    } catch (const RuntimeError& error) {
      failed = true;
      EXPECT_EQ(error.Description().English(), "The folder \"" + folder + "\" could not be deleted.");
    }
    EXPECT_EQ(failed, FolderExists(folder)) << folder;
  }
  EXPECT_EQ(ReadFile(work / "Saves\\save1.dat"), "the user's saves");
  EXPECT_TRUE(FolderExists(work / "Empty decoy"));
}

// A name that leads outside (a link Wine shows as a plain file, or a folder
// swapped for a link) is never held, moved or deleted: the emptying refuses
// it by name, the removal's hold leaves it, and a move or delete through it
// says where it leads. Nothing outside changes.
TEST_F(FolderDeleteTest, NamesThatLeadOutsideAreNeverGoneThrough) {
  WriteFile(game + "\\Common2.bfs", "the game's archive");
  WriteFile(work / "Elsewhere\\x.txt", "somebody else's");
  WriteFile(target + "\\kept\\save.dat", "the player's");
  WriteFile(target + "\\data\\x.txt", "the installation's");
  if (!MakeLink(target + "\\Common2.bfs", game + "\\Common2.bfs")) GTEST_SKIP() << "no links here";
  ASSERT_TRUE(MakeLink(target + "\\moved", work / "Elsewhere"));
  bool wine = !(GetFileAttributesW(Widen(target + "\\Common2.bfs").c_str()) & FILE_ATTRIBUTE_REPARSE_POINT);

  auto emptying = FileSystem::HeldTree::Hold(target, {});
  if (wine) {
    ASSERT_TRUE(std::holds_alternative<FileSystem::Obstacle>(emptying));
    EXPECT_EQ(std::get<FileSystem::Obstacle>(emptying).path, target + "\\Common2.bfs");
    EXPECT_TRUE(EqualsIgnoreCase(std::get<FileSystem::Obstacle>(emptying).leadsTo, game + "\\Common2.bfs"));
  }
  emptying = {};

  FileSystem::FolderBounds bounds(target);
  EXPECT_EQ(FileSystem::DeleteFileInside(bounds, "Common2.bfs").empty(), !wine);
  EXPECT_THROW(FileSystem::MoveFileInside(bounds, "kept\\save.dat", bounds, "moved\\save.dat", false), RuntimeError);
  EXPECT_EQ(FileSystem::MoveFileInside(bounds, "kept\\save.dat", bounds, "savegame\\save.dat", false), "");
  auto removal = FileSystem::HeldTree::HoldFiles(target, {"Common2.bfs", "data\\x.txt", "moved\\x.txt"});
  auto& tree = *std::get<std::unique_ptr<FileSystem::HeldTree>>(removal);
  EXPECT_EQ(tree.Files().size(), 1u);
  tree.DeleteAll();

  EXPECT_EQ(ReadFile(game + "\\Common2.bfs"), "the game's archive");
  EXPECT_EQ(ReadFile(work / "Elsewhere\\x.txt"), "somebody else's");
  EXPECT_EQ(ReadFile(target + "\\savegame\\save.dat"), "the player's");
  EXPECT_FALSE(FolderExists(target + "\\data"));
  EXPECT_EQ(tree.LeadingOutside().size(), wine ? 2u : 1u);
}

TEST_F(FolderDeleteTest, MissingFolderIsNoError) {
  WriteFile(work / "Games\\keep.txt", "x");
  DeleteWholeFolder(work / "Games\\absent");
  EXPECT_TRUE(FileExists(work / "Games\\keep.txt"));
}

TEST_F(FolderDeleteTest, FolderThatOutlivesTheDeleteIsAnError) {
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
    EXPECT_EQ(error.Description().English(), "The folder \"" + target + "\" could not be deleted.");
  }
  CloseHandle(held);
  EXPECT_TRUE(FileExists(target + "\\held.txt"));
}

}  // namespace
