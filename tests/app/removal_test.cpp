// The removal (/UNINSTALL) in-process, unattended, on a hand-made installation.
#include "app/removal_command.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>

#include "common/game_registry.h"
#include "common/temp_folder.h"
#include "install/installation_record.h"
#include "install/uninstall_entry.h"
#include "registry/registry.h"
#include "support/cut_point.h"
#include "support/shell_link.h"
#include "support/text.h"
#include "support/virtual_store.h"

namespace {

class RemovalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* file : {"FlatOut.exe", "Common1.bfs", "data\\cars\\car1.bfs", "savegame\\slot1.sav"})
      WriteFile(folder + file, std::string("installed ") + file);
    WriteFile(game + "FlatOut.exe", "the game");
    MakeFolders(menu);
    SaveShortcut(menu + "FlatOut.lnk", folder + "FlatOut.exe", folder);
    SaveShortcut(work / "Elsewhere.lnk", game + "FlatOut.exe", game);  // listed, but leads elsewhere now
    record.gameFolder = game;
    record.shortcuts = {menu + "FlatOut.lnk", work / "Elsewhere.lnk"};
    record.files = FileSystem::FilesBelow(folder);
    WriteFile(folder + kUninstallerName, "the uninstaller");
    RegisterUninstallEntry(folder, key, 1 << 20);
  }
  void TearDown() override { RemoveUninstallEntry(key); }
  int Remove() {
    WriteRecord(folder, record);
    return RemoveFrom(folder);
  }
  bool Registered() const { return RegistryKeyExists(kUninstallKeys + key); }
  // A record as an older installer wrote it, naming its entry's key.
  static void WriteRecordNamingKey(const std::string& into, const InstallationRecord& record,
                                   const std::string& named) {
    std::string text = RecordText(record);
    std::string body = text.substr(0, text.rfind("end\t"));
    body.insert(body.find("\r\n") + 2, "key\t" + named + "\r\n");
    size_t lines = static_cast<size_t>(std::count(body.begin(), body.end(), '\n'));
    WriteFile(into + kRecordName,
              "\xEF\xBB\xBF" + body + "end\t" + std::to_string(lines) + "\t" + Fnv1aHex(body) + "\r\n");
  }
  int RemoveFrom(const std::string& from) {
    CommandLineOptions options;
    options.mode = RunMode::VerySilent;
    options.uninstall = true;
    options.targetFolder = from;
    options.logPath = work / "removal.log";
    return RunRemoval(options);
  }
  // The folder's contents but for the record, which a removal that keeps the player's files leaves.
  std::vector<std::string> ContentsBesideTheRecord() const {
    std::vector<std::string> contents = TreeContents(folder);
    std::erase_if(contents, [](const std::string& entry) { return entry.starts_with(kRecordName); });
    return contents;
  }

  TempFolder work{"zem7 removal", ProgramFilesFolder()};
  std::string folder = work / "Games\\FlatOut - ZEM7\\";
  std::string game = work / "Games\\FlatOut\\";
  std::string menu = work / "Menu\\Torvale\\FlatOut - ZEM7\\";
  std::string key = UninstallKeyFor(folder);
  InstallationRecord record;
};

TEST_F(RemovalTest, TakesOnlyTheUnchangedRecordedFilesTheirShortcutsAndTheEntry) {
  WriteFile(folder + "savegame\\slot1.sav", "played since");
  WriteFile(folder + "screenshots\\shot1.bmp", "taken since");
  // What Windows put aside for the game without rights is never touched, but told.
  std::string store = VirtualStoreOf(folder);
  WriteFile(store + "\\savegame\\slot2.sav", "saved without rights");
  EXPECT_EQ(Remove(), 0);
  EXPECT_EQ(ReadFile(store + "\\savegame\\slot2.sav"), "saved without rights");
  RemoveTree(store);
  EXPECT_EQ(ContentsBesideTheRecord(),
            (std::vector<std::string>{"savegame\\", "savegame\\slot1.sav=played since", "screenshots\\",
                                      "screenshots\\shot1.bmp=taken since"}));
  EXPECT_FALSE(FolderExists(work / "Menu\\Torvale"));
  EXPECT_TRUE(FileExists(work / "Elsewhere.lnk"));
  EXPECT_EQ(ReadFile(game + "FlatOut.exe"), "the game");
  EXPECT_FALSE(Registered());
  auto log = LogTexts(work / "removal.log");
  ASSERT_GE(log.size(), 2u);
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(log[log.size() - 3], "2 file(s) that you made or changed were kept there.");
  EXPECT_EQ(log[log.size() - 2],
            "1 file(s) of yours that Windows keeps for this folder in \"" + store + "\" were kept there.");
  EXPECT_EQ(log.back(), "Exit code 0: the ZEM7 mod was removed.");
}

// Names that lead outside are the player's, whenever they came: a file
// linked to the game's own (as a Linux player saves room), whose link shows
// the size and time the copy had, and a folder swapped for a link once the
// question was answered. They stay, are named in the log, and nothing they
// lead to changes.
TEST_F(RemovalTest, LeavesWhatLeadsOutsideAndChangesNothingThere) {
  WriteFile(game + "Common1.bfs", "the game's archive");
  DeleteFileW(Widen(folder + "Common1.bfs").c_str());
  if (!MakeLink(folder + "Common1.bfs", game + "Common1.bfs")) GTEST_SKIP() << "no links here";
  record.files = FileSystem::FilesBelow(folder);
  std::string outside = work / "Outside";
  CutPoints::MeddleAt("removal.answered", [&] {
    ASSERT_TRUE(MoveFileW(Widen(folder + "data").c_str(), Widen(outside).c_str()));
    ASSERT_TRUE(MakeLink(folder + "data", outside));
  });
  EXPECT_EQ(Remove(), 0);
  EXPECT_EQ(ReadFile(game + "Common1.bfs"), "the game's archive");
  EXPECT_EQ(ReadFile(outside + "\\cars\\car1.bfs"), "installed data\\cars\\car1.bfs");
  auto log = LogTexts(work / "removal.log");
  std::string left = "Leaving in place what leads outside the folder: " + folder + "data\\cars\\car1.bfs (to ";
  EXPECT_EQ(std::count_if(log.begin(), log.end(), [&](const std::string& line) { return line.starts_with(left); }),
            1);
}

// Before anything is touched: a record that cannot be trusted, a path that
// leads out or through a link, a file in use, or a folder that must never
// be emptied refuse the removal with exit code 2.
TEST_F(RemovalTest, RefusesBadRecordsHeldFilesAndFoldersItMustNotEmpty) {
  MakeFolders(work / "Saves");
  ASSERT_TRUE(MakeLink(folder + "linked", work / "Saves"));
  struct Case {
    const char* name;
    std::function<void()> arrange;  // after the record is written
    const char* why;
    std::function<void()> beforeRecord = nullptr;
  };
  std::optional<DriveAlias> alias;
  HANDLE held = INVALID_HANDLE_VALUE;
  const Case cases[] = {
      {"no record", [&] { DeleteFileW(Widen(folder + kRecordName).c_str()); }, "cannot be read"},
      {"torn record",
       [&] {
         std::string text = ReadFile(folder + kRecordName);
         WriteFile(folder + kRecordName, text.substr(0, text.size() - 30));
       },
       "incomplete"},
      {"climbing path", [] {}, "climbs out of the folder",
       [&] {
         record.files.push_back({"..\\FlatOut\\FlatOut.exe", 8, 1});
       }},
      {"through a link", [] {}, "linked\" is a link",
       [&] {
         record.files.push_back({"linked\\slot.sav", 8, 1});
       }},
      {"file in use",
       [&] {
         held = CreateFileW(Widen(folder + "Common1.bfs").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
       },
       "Common1.bfs\" is in use by another program"},
      {"the game's folder", [] {}, "cannot match the FlatOut Game Folder", [&] { record.gameFolder = folder; }},
      // The game is looked for where an installation finds it: an edited record cannot lead into it.
      {"the registered game's folder", [&] { SetGamePath(folder); }, "cannot match the FlatOut Game Folder"},
      {"a folder in use",
       [&] {
         held = CreateFileW(Widen(folder + "data\\cars").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
       },
       "data\\cars\" is in use by another program"},
      {"a record copied from another folder", [] {}, "made in another folder",
       [&] { record.folderId = "0-00000000000000000000000000000001"; }},
      {"times changed under the files",
       [&] {
         for (const char* file : {"FlatOut.exe", "Common1.bfs", "data\\cars\\car1.bfs"})
           WriteFile(folder + file, std::string("installed ") + file);
       },
       "3 of the 4 files its record lists look changed"},
      {"a drive's root",
       [&] {
         alias.emplace(folder);
         folder = alias->Root();
       },
       "cannot be the root of a drive"},
  };
  const std::string installed = folder;
  const InstallationRecord whole = record;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    record = whole;
    if (c.beforeRecord) c.beforeRecord();
    WriteRecord(folder, record);
    c.arrange();
    std::vector<std::string> before = TreeContents(installed);
    CommandLineOptions options;
    options.mode = RunMode::VerySilent;
    options.uninstall = true;
    options.targetFolder = folder;
    options.logPath = work / "removal.log";
    EXPECT_EQ(RunRemoval(options), 2);
    if (held != INVALID_HANDLE_VALUE) CloseHandle(std::exchange(held, INVALID_HANDLE_VALUE));
    SetGamePath({});
    auto log = LogTexts(work / "removal.log");
    ASSERT_GE(log.size(), 2u);
    EXPECT_NE(log[log.size() - 2].find(c.why), std::string::npos) << log[log.size() - 2];
    EXPECT_EQ(log.back(), "Exit code 2: nothing was removed.");
    EXPECT_EQ(TreeContents(installed), before);
    EXPECT_TRUE(Registered());
    EXPECT_TRUE(FileExists(menu + "FlatOut.lnk"));
    folder = installed;
  }
  // A log inside the folder it removes is refused, and never written there.
  CommandLineOptions options;
  options.mode = RunMode::VerySilent;
  options.uninstall = true;
  options.targetFolder = folder;
  options.logPath = folder + "removal.log";
  EXPECT_EQ(RunRemoval(options), 2);
  EXPECT_FALSE(FileExists(folder + "removal.log"));
}

// The entry goes by the folder's own key, and only when it names this very
// folder: a copy of the installation, record and all, or a record naming
// another product's key, never removes an entry that is not the folder's.
TEST_F(RemovalTest, RemovesOnlyTheEntryThatNamesThisFolder) {
  RegisterUninstallEntry(work / "Other\\", "ZEM7Test-OtherProduct", 1);
  std::string backup = work / "Games\\FlatOut - ZEM7 backup\\";
  for (const FileSystem::FileFacts& file : FileSystem::FilesBelow(folder)) {
    MakeFolders(FileSystem::GetParentFolderName(backup + file.path));
    CopyFileW(Widen(folder + file.path).c_str(), Widen(backup + file.path).c_str(), FALSE);
  }
  WriteRecordNamingKey(backup, record, "ZEM7Test-OtherProduct");
  WriteRecordNamingKey(folder, record, "ZEM7Test-OtherProduct");

  EXPECT_EQ(RemoveFrom(backup), 0);
  EXPECT_FALSE(FileExists(backup + "FlatOut.exe"));
  EXPECT_TRUE(Registered());
  EXPECT_TRUE(RegistryKeyExists(kUninstallKeys + std::string("ZEM7Test-OtherProduct")));
  EXPECT_EQ(ReadFile(folder + "FlatOut.exe"), "installed FlatOut.exe");
  EXPECT_TRUE(FileExists(menu + "FlatOut.lnk"));

  EXPECT_EQ(RemoveFrom(folder), 0);
  EXPECT_FALSE(Registered()) << ReadFile(work / "removal.log");
  EXPECT_TRUE(RegistryKeyExists(kUninstallKeys + std::string("ZEM7Test-OtherProduct")));
  RemoveUninstallEntry("ZEM7Test-OtherProduct");

  // A folder renamed since: the entry its record noted goes once the folder it names is gone.
  RegisterUninstallEntry(folder, key, 1);
  std::string renamed = work / "Games\\FlatOut - ZEM7 renamed\\";
  for (const char* file : {"FlatOut.exe", "Common1.bfs"}) WriteFile(renamed + file, std::string("installed ") + file);
  record.files = FileSystem::FilesBelow(renamed);
  record.uninstallKey = key;
  WriteRecord(renamed, record);
  RemoveTree(folder);
  EXPECT_EQ(RemoveFrom(renamed), 0);
  EXPECT_FALSE(Registered());

  // A folder whose name changed with a drive letter since (under Wine, its
  // Linux name here): the entry its record noted names it still, and goes.
  std::string otherName = LinuxRootAlias(renamed);
  if (otherName.empty()) return;
  const std::string noted = "ZEM7Mod-OtherNameTest";
  WriteFile(renamed + "FlatOut.exe", "installed FlatOut.exe");
  RegisterUninstallEntry(otherName, noted, 1);
  record.files = FileSystem::FilesBelow(renamed);
  record.uninstallKey = noted;
  WriteRecord(renamed, record);
  EXPECT_EQ(RemoveFrom(renamed), 0);
  EXPECT_FALSE(RegistryKeyExists(kUninstallKeys + noted));
  RemoveUninstallEntry(noted);  // what a failure above would leave in the prefix
}

}  // namespace
