#include "fileops/safe_file_ops.h"

#include <windows.h>

#include <functional>

#include <gtest/gtest.h>

#include <unordered_set>

#include "common/scripted_ui.h"
#include "common/temp_folder.h"
#include "fileops/file_system.h"
#include "support/run_context.h"
#include "support/text.h"

namespace {

class SafeFileOpsTest : public ::testing::Test {
 protected:
  void SetUp() override { run = NewRun(ui, logFolder.Path()); }
  std::vector<std::string> Log() const { return LogTexts(logFolder / "ZEM7InstallLog.txt"); }
  // Answers the next box with OK and checks that it is a report from location.
  void ExpectReport(const std::string& location, bool withNumberZero) {
    ASSERT_EQ(ui.messages.size(), 1u) << "expected one report from " << location;
    EXPECT_TRUE(ui.messages[0].text.ends_with("\r\nLocation: " + location)) << ui.messages[0].text;
    // Every report says what failed, a missing source included.
    EXPECT_EQ(ui.messages[0].text.find(", \r\n"), std::string::npos) << ui.messages[0].text;
    if (withNumberZero)
      EXPECT_EQ(ui.messages[0].text.rfind("ERROR: 0, ", 0), 0u);
    else
      EXPECT_NE(ui.messages[0].text.rfind("ERROR: 0,", 0), 0u);
  }
  TempFolder logFolder{"log"};
  TempFolder work;
  ScriptedUi ui;
  std::unique_ptr<RunContext> run;
};

TEST_F(SafeFileOpsTest, CreateFolderLogsOnceAndOnlyWhenItActs) {
  std::string folder = work / "new";
  SafeCreateFolder(*run, folder);
  SafeCreateFolder(*run, folder);
  EXPECT_TRUE(FolderExists(folder));
  EXPECT_EQ(Log(), std::vector<std::string>{"Creating folder: " + folder});
}

TEST_F(SafeFileOpsTest, CreateFolderWithMissingParentLogsThenReports) {
  ui.AnswerAllWithOk();
  std::string folder = work / "missing\\child";
  SafeCreateFolder(*run, folder);
  EXPECT_FALSE(FolderExists(folder));
  EXPECT_EQ(Log().front(), "Creating folder: " + folder);
  ExpectReport("modZEM7::SafeCreateFolder", false);

  // The target of an installation comes with its parents, under the one entry.
  std::string target = work / "New\\Games\\FlatOut - ZEM7\\";
  SafeCreateFolder(*run, target, true);
  EXPECT_TRUE(FolderExists(target));
  EXPECT_EQ(Log().back(), "Creating folder: " + target);
}

TEST_F(SafeFileOpsTest, DeleteFolderRemovesReadOnlyTreesAndIgnoresMissingOnes) {
  WriteFile(work / "tree\\a\\b\\deep.txt", "x");
  WriteFile(work / "tree\\locked.txt", "x");
  MakeReadOnly(work / "tree\\locked.txt");
  MakeReadOnly(work / "tree\\a\\b\\deep.txt");
  SafeDeleteFolder(*run, work / "tree");
  SafeDeleteFolder(*run, work / "never");
  EXPECT_FALSE(FolderExists(work / "tree"));
  EXPECT_EQ(Log(), std::vector<std::string>{"Deleting folder: " + (work / "tree")});
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(SafeFileOpsTest, CopyFolderMergesIntoExistingFolder) {
  WriteFile(work / "group\\track\\a.txt", "new a");
  WriteFile(work / "group\\b.txt", "new b");
  WriteFile(work / "derived\\b.txt", "old b");
  WriteFile(work / "derived\\only-here.txt", "keep");
  SafeCopyFolder(*run, work / "group", work / "derived", true);
  EXPECT_EQ(ReadFile(work / "derived\\track\\a.txt"), "new a");
  EXPECT_EQ(ReadFile(work / "derived\\b.txt"), "new b");
  EXPECT_EQ(ReadFile(work / "derived\\only-here.txt"), "keep");
  EXPECT_EQ(Log(), std::vector<std::string>{"Copying Folder: " + (work / "group") + " >> " + (work / "derived")});
}

// As links, each file is a second name of the group's, merged as a copy
// merges; a read-only file, and every file where links are off or refused
// (tmpfs to another volume, under Wine), is copied; a folder to be left
// empty is made, without its files. A file given its own then takes a write
// without the group seeing it.
TEST_F(SafeFileOpsTest, CopyFolderAsLinksSharesFilesUntilOneIsGivenItsOwn) {
  std::string shm = "Z:\\dev\\shm\\zem7 link test " + std::to_string(GetCurrentProcessId());
  struct Case {
    const char* name;
    bool linksAllowed;
    bool otherVolume;
    uint32_t names;  // of each linkable file
  };
  for (const Case& c : {Case{"links", true, false, 2}, Case{"off", false, false, 1}, Case{"refused", true, true, 1}}) {
    SCOPED_TRACE(c.name);
    std::string group = c.otherVolume ? shm : work / (std::string("group ") + c.name);
    std::string derived = work / (std::string("derived ") + c.name);
    if (c.otherVolume && !CreateDirectoryW(Widen(shm).c_str(), nullptr)) GTEST_SKIP() << "no tmpfs at " << shm;
    WriteFile(group + "\\track\\a.txt", "group a");
    WriteFile(group + "\\b.txt", "group b");
    WriteFile(group + "\\ro.txt", "read-only");
    MakeReadOnly(group + "\\ro.txt");
    WriteFile(derived + "\\track\\a.txt", "old a");
    WriteFile(derived + "\\only-here.txt", "keep");
    WriteFile(group + "\\track\\trimmed\\deep\\c.txt", "deleted next");
    FileSystem::LinkedCopy links;
    links.linksAllowed = c.linksAllowed;
    std::unordered_set<uint64_t> linked;
    links.linkedNames = &linked;
    links.madeEmpty = {"TRACK\\Trimmed"};
    SafeCopyFolderAsLinks(*run, group, derived, true, links);
    // Which names share a file is known from the linking, whatever a drive says of names.
    EXPECT_EQ(linked.contains(NameKey(derived + "\\b.txt")) && linked.contains(NameKey(group + "\\b.txt")),
              c.names == 2);
    EXPECT_EQ(ReadFile(derived + "\\track\\a.txt"), "group a");
    EXPECT_EQ(ReadFile(derived + "\\only-here.txt"), "keep");
    EXPECT_EQ(FileSystem::NameCount(derived + "\\track\\a.txt"), c.names);
    EXPECT_EQ(FileSystem::NameCount(derived + "\\ro.txt"), 1u);
    EXPECT_TRUE(GetFileAttributesW(Widen(derived + "\\ro.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(links.refusal != 0, c.otherVolume);
    EXPECT_EQ(Log().back(), "Copying Folder: " + group + " >> " + derived);

    FileSystem::MakeFileOfItsOwn(derived + "\\track\\a.txt");
    EXPECT_EQ(FileSystem::NameCount(derived + "\\track\\a.txt"), 1u);
    WriteFile(derived + "\\track\\a.txt", "the mod's a");
    EXPECT_EQ(ReadFile(group + "\\track\\a.txt"), "group a");
    EXPECT_EQ(FileSystem::NameCount(group + "\\track\\a.txt"), 1u);
    // Beside a name the extractor's list gives wrongly, the files of its folder do.
    auto knownShared = [&](const std::string& file) { return linked.contains(NameKey(file)); };
    FileSystem::MakeFilesOfTheirOwn(derived, {}, knownShared, false);
    EXPECT_EQ(FileSystem::NameCount(group + "\\b.txt"), 1u);
    // And where the list cannot be trusted at all, every file does.
    FileSystem::MakeFilesOfTheirOwn(derived, {}, knownShared);
    EXPECT_EQ(FileSystem::NameCount(group + "\\b.txt"), 1u);
    EXPECT_EQ(ReadFile(derived + "\\b.txt"), "group b");
    EXPECT_EQ(ListTree(derived),
              (std::vector<std::string>{"b.txt", "only-here.txt", "ro.txt", "track\\", "track\\a.txt", "track\\trimmed\\"}));
    if (c.otherVolume) RemoveTree(shm);
  }
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(SafeFileOpsTest, CopyFolderWithMissingSourceLeavesEmptyDestinationAndReportsZero) {
  ui.AnswerAllWithOk();
  SafeCopyFolder(*run, work / "absent", work / "derived", true);
  EXPECT_TRUE(FolderExists(work / "derived"));
  EXPECT_TRUE(ListTree(work / "derived").empty());
  ExpectReport("modZEM7::SafeCopyFolder", true);
  EXPECT_EQ(Log(), (std::vector<std::string>{"ERROR: 0, The folder to copy \"" + work / "absent" + "\" does not exist.",
                                             "Location: modZEM7::SafeCopyFolder"}));
}

TEST_F(SafeFileOpsTest, MoveFolderIntoTrailingBackslashKeepsItsName) {
  WriteFile(work / "datafull\\tracks\\stunt\\x.txt", "x");
  MakeFolders(work / "data\\tracks");
  SafeMoveFolder(*run, work / "datafull\\tracks\\stunt", work / "data\\tracks\\");
  EXPECT_EQ(ReadFile(work / "data\\tracks\\stunt\\x.txt"), "x");
  EXPECT_FALSE(FolderExists(work / "datafull\\tracks\\stunt"));
  EXPECT_EQ(Log(), std::vector<std::string>{"Moving Folder: " + (work / "datafull\\tracks\\stunt") + " >> " +
                                            (work / "data\\tracks\\")});
}

TEST_F(SafeFileOpsTest, MoveFolderOntoExistingFolderFailsAndKeepsBoth) {
  ui.AnswerAllWithOk();
  WriteFile(work / "from\\stunt\\x.txt", "source");
  WriteFile(work / "into\\stunt\\x.txt", "already");
  SafeMoveFolder(*run, work / "from\\stunt", work / "into\\");
  EXPECT_EQ(ReadFile(work / "from\\stunt\\x.txt"), "source");
  EXPECT_EQ(ReadFile(work / "into\\stunt\\x.txt"), "already");
  EXPECT_EQ(Log().front().rfind("Moving Folder: ", 0), 0u);
  ExpectReport("modZEM7::SafeMoveFolder", false);
}

TEST_F(SafeFileOpsTest, DeleteFileRemovesReadOnlyFileAndOnlyLogsAMissingOne) {
  WriteFile(work / "locked.txt", "x");
  MakeReadOnly(work / "locked.txt");
  SafeDeleteFile(*run, work / "locked.txt", true);
  SafeDeleteFile(*run, work / "absent.txt", true);
  EXPECT_FALSE(FileExists(work / "locked.txt"));
  EXPECT_EQ(Log(), (std::vector<std::string>{"Deleting File: " + (work / "locked.txt"),
                                             "Delete File missing (Not a problem): " + (work / "absent.txt")}));
  EXPECT_TRUE(ui.messages.empty());
}

// A big archive's copy lets the window answer between its chunks, and a copy
// that a stop ends leaves no part of a file behind.
TEST_F(SafeFileOpsTest, BigFileIsCopiedWholeWithPulsesAndAStoppedCopyLeavesNothing) {
  std::string big = work / "Common2.bfs";
  std::string content(20 << 20, 'x');
  content.replace(content.size() - 4, 4, "end.");
  WriteFile(big, content);
  FILETIME written{0x12345678, 0x01c9a000};  // an old date, which a copy keeps
  HANDLE file = CreateFileW(Widen(big).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  SetFileTime(file, nullptr, nullptr, &written);
  CloseHandle(file);

  int pulses = 0;
  FileSystem::CopyOneFile(big, work / "copy.bfs", false, [&] { ++pulses; });
  EXPECT_GE(pulses, 4);
  EXPECT_EQ(ReadFile(work / "copy.bfs"), content);
  WIN32_FILE_ATTRIBUTE_DATA copied{};
  GetFileAttributesExW(Widen(work / "copy.bfs").c_str(), GetFileExInfoStandard, &copied);
  EXPECT_EQ(CompareFileTime(&copied.ftLastWriteTime, &written), 0);

  // An existing copy is replaced only when asked to.
  WriteFile(work / "old.bfs", "old");
  EXPECT_THROW(FileSystem::CopyOneFile(big, work / "old.bfs", false, [] {}), std::exception);
  EXPECT_EQ(ReadFile(work / "old.bfs"), "old");
  FileSystem::CopyOneFile(big, work / "old.bfs", true, [] {});
  EXPECT_EQ(ReadFile(work / "old.bfs"), content);

  struct Stopped {};
  EXPECT_THROW(FileSystem::CopyOneFile(big, work / "stopped.bfs", false, [] { throw Stopped{}; }), Stopped);
  EXPECT_FALSE(FileExists(work / "stopped.bfs"));
}

TEST_F(SafeFileOpsTest, CopyFileIntoFolderKeepsNameAndReplacesWithOverwrite) {
  WriteFile(work / "game\\FlatOut.exe", "game");
  WriteFile(work / "target\\FlatOut.exe", "stale");
  SafeCopyFile(*run, work / "game\\FlatOut.exe", work / "target\\", true);
  EXPECT_EQ(ReadFile(work / "target\\FlatOut.exe"), "game");
  EXPECT_EQ(Log(), std::vector<std::string>{"Copying File: " + (work / "game\\FlatOut.exe")});
}

TEST_F(SafeFileOpsTest, CopyFileOntoReadOnlyFileWithoutOverwriteFailsAfterLogging) {
  ui.AnswerAllWithOk();
  WriteFile(work / "a.txt", "new");
  WriteFile(work / "target\\a.txt", "old");
  MakeReadOnly(work / "target\\a.txt");
  SafeCopyFile(*run, work / "a.txt", work / "target\\", false);
  EXPECT_EQ(ReadFile(work / "target\\a.txt"), "old");
  EXPECT_EQ(Log().front(), "Copying File: " + (work / "a.txt"));
  ExpectReport("modZEM7::SafeCopyFile", false);
}

TEST_F(SafeFileOpsTest, MissingSourceOfFileCopyOrMoveIsLoggedThenReportedWithZero) {
  ui.AnswerAllWithOk();
  struct Case {
    std::function<void(const std::string&, const std::string&)> operation;
    const char* line;
    const char* location;
    const char* what;
  };
  const Case cases[] = {
      {[this](const std::string& s, const std::string& d) { SafeCopyFile(*run, s, d, true); },
       "** ERROR: Cannot copy file due to it missing: ", "modZEM7::SafeCopyFile", "file to copy"},
      {[this](const std::string& s, const std::string& d) { SafeMoveFile(*run, s, d); },
       "** ERROR: Cannot move file due to it missing: ", "modZEM7::SafeMoveFile", "file to move"},
  };
  for (const Case& c : cases) {
    ui.messages.clear();
    DeleteFileW(Widen(logFolder / "ZEM7InstallLog.txt").c_str());
    c.operation(work / "absent.rar", work.Path() + "\\");
    EXPECT_EQ(Log(), (std::vector<std::string>{
                         c.line + (work / "absent.rar"),
                         "ERROR: 0, The " + std::string(c.what) + " \"" + work / "absent.rar" + "\" does not exist.",
                         std::string("Location: ") + c.location}));
    EXPECT_EQ(ui.messages.size(), 1u);
  }
}

TEST_F(SafeFileOpsTest, MoveFileIntoMissingFolderFailsAndLeavesTheFile) {
  ui.AnswerAllWithOk();
  WriteFile(work / "zem7-tracks1.bfs", "archive");
  SafeMoveFile(*run, work / "zem7-tracks1.bfs", work / "ZEM7-Patches\\");
  EXPECT_EQ(ReadFile(work / "zem7-tracks1.bfs"), "archive");
  EXPECT_EQ(Log().front(), "Moving File: " + (work / "zem7-tracks1.bfs"));
  ExpectReport("modZEM7::SafeMoveFile", false);
}

}  // namespace
