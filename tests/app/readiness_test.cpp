#include "app/readiness.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <optional>

#include "common/scripted_ui.h"
#include "common/temp_folder.h"
#include "app/install_command.h"
#include "fileops/file_system.h"
#include "install/install_steps.h"
#include "install/installation_record.h"
#include "support/run_context.h"
#include "support/handles.h"
#include "support/path_helpers.h"
#include "support/runtime_error.h"
#include "support/text.h"

namespace {

std::string Environment(const char* name) {
  wchar_t value[MAX_PATH] = {};
  GetEnvironmentVariableW(Widen(name).c_str(), value, MAX_PATH);
  return Narrow(value);
}

constexpr uint64_t kGigabyte = 1ull << 30;

void SetLastWritten(const std::string& path, WORD year, WORD month, WORD day) {
  SYSTEMTIME local{year, month, 0, day, 12, 0, 0, 0};
  FILETIME localTime, utc;
  SystemTimeToFileTime(&local, &localTime);
  LocalFileTimeToFileTime(&localTime, &utc);
  HANDLE file = CreateFileW(Widen(path).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  SetFileTime(file, nullptr, nullptr, &utc);
  CloseHandle(file);
}

class ReadinessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    run = NewRun(ui, work / "Download");
    ui.AnswerAllWithOk();
    MakeFolders(run->plan.installerFolder);
    for (const char* name : kDownloadFiles) WriteFile(run->plan.installerFolder + "\\" + name, name);
    for (const char* name : {"FlatOut.exe", "Common1.bfs", "Common2.bfs"}) WriteFile(Game() + name, name);
    SetLastWritten(Game() + "FlatOut.exe", 2005, 3, 15);
    run->plan.gameFolder = Game();
    run->plan.zem7Folder = work / "Games\\FlatOut - ZEM7\\";
  }
  std::string Game() const { return work / "Games\\FlatOut\\"; }
  // The one box the checks showed, which must be an error box titled for the checks.
  std::string RefusalText() const {
    EXPECT_EQ(ui.messages.size(), 1u);
    if (ui.messages.empty()) return {};
    EXPECT_EQ(ui.messages.back().title, "ZEM7 Installer");
    EXPECT_EQ(ui.messages.back().style, 16u);
    return ui.messages.back().text;
  }

  TempFolder work;
  ScriptedUi ui;
  std::unique_ptr<RunContext> run;
  uint64_t freeBytes = 100 * kGigabyte;
  int probes = 0;
  FreeSpaceProbe probe = [this](const std::string&) {
    ++probes;
    return freeBytes;
  };
};

TEST_F(ReadinessTest, SameFolderInOtherCaseAndBackslashIsRefusedFirst) {
  run->plan.zem7Folder = FormatPath(ToLower(Game().substr(0, Game().size() - 1)));
  run->plan.gameFolder = FormatPath(ToUpper(Game()));
  EXPECT_FALSE(ReadyToInstall(*run, probe));
  EXPECT_EQ(RefusalText(),
            "The ZEM7 Game Folder cannot match the FlatOut Game Folder.\r\nPlease select another location.");
}

TEST_F(ReadinessTest, EachMissingGameItemIsNamedInTurn) {
  struct Case {
    const char* removed;
    const char* message;
  };
  const Case cases[] = {
      {"Common2.bfs", "The FlatOut Common 2 BFS does not exist, please check the location."},
      {"Common1.bfs", "The FlatOut Common 1 BFS does not exist, please check the location."},
      {"FlatOut.exe", "The FlatOut Game EXE file does not exist, please check the location."},
  };
  for (const Case& c : cases) {
    ui.messages.clear();
    DeleteFileW(Widen(Game() + c.removed).c_str());
    EXPECT_FALSE(ReadyToInstall(*run, probe));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, c.message);
  }
  // The mod's own files come next, each named when it is missing.
  for (const char* name : {"FlatOut.exe", "Common1.bfs", "Common2.bfs"}) WriteFile(Game() + name, name);
  for (const char* name : kDownloadFiles) {
    ui.messages.clear();
    std::string path = run->plan.installerFolder + "\\" + name;
    DeleteFileW(Widen(path).c_str());
    EXPECT_FALSE(ReadyToInstall(*run, probe));
    EXPECT_EQ(RefusalText(), "The ZEM7 Mod file \"" + std::string(name) +
                                 "\" is missing from the installer's folder.\r\nPlease download the mod again.");
    WriteFile(path, name);
  }
  ui.messages.clear();
  run->plan.gameFolder = FormatPath("<Unable to find FlatOut Game Folder>");
  EXPECT_FALSE(ReadyToInstall(*run, probe));
  EXPECT_EQ(RefusalText(), "The FlatOut Game Folder does not exist, please check the location.");
}

TEST_F(ReadinessTest, PatchIsJudgedByTheExecutablesMonthAndYear) {
  struct Case {
    WORD year, month, day;
    bool passes;
  };
  // 2007 is the date of the executable that Steam and GOG ship.
  const Case cases[] = {
      {2004, 11, 30, false}, {2004, 12, 1, true}, {2003, 12, 1, true}, {2005, 1, 1, true}, {2007, 6, 12, true}};
  for (const Case& c : cases) {
    ui.messages.clear();
    SetLastWritten(Game() + "FlatOut.exe", c.year, c.month, c.day);
    EXPECT_EQ(ReadyToInstall(*run, probe).ready, c.passes) << c.year << "-" << c.month << "-" << c.day;
    if (!c.passes) {
      ASSERT_EQ(ui.messages.size(), 1u);
      EXPECT_EQ(ui.messages[0].text,
                "You have not installed the official 'FlatOut v1.1' Game Patch.\r\n"
                "This is required to enable the FlatOut ZEM7 mod to work.");
    }
  }
}

// Nothing is deleted by the checks: a Yes only marks the target to be emptied
// once the installation starts, after the confirmation.
TEST_F(ReadinessTest, NonEmptyTargetIsKeptOnNoAndOnYesUntilTheInstallationStarts) {
  const std::string target = run->plan.zem7Folder;
  MakeFolders(target + "empty subfolder");
  ui.Answer(IDNO);
  ReadyState declined = ReadyToInstall(*run, probe);
  EXPECT_FALSE(declined);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text,
            "The ZEM7 Game Folder contains files, this folder must be empty.\r\n"
            "Do you wish to recreate this folder (all files will be deleted)?");
  EXPECT_EQ(ui.messages[0].style, 292u);
  EXPECT_FALSE(declined.targetToEmpty);

  ui.Answer(IDYES);
  ReadyState agreed = ReadyToInstall(*run, probe);
  EXPECT_TRUE(agreed);
  EXPECT_TRUE(FolderExists(target + "empty subfolder"));
  EXPECT_TRUE(agreed.targetToEmpty);
}

TEST_F(ReadinessTest, RecreateIsRefusedForAHeldFileAndCountsTheSpaceItFrees) {
  const std::string target = run->plan.zem7Folder;
  WriteFile(target + "old.txt", "x");
  WriteFile(target + "FlatOut.exe", "the game, running");
  HANDLE held = CreateFileW(Widen(target + "FlatOut.exe").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  ui.Answer(IDYES);
  EXPECT_FALSE(ReadyToInstall(*run, probe));
  CloseHandle(held);
  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(ui.messages[1].text, "The ZEM7 Game Folder cannot be emptied: \"" + target +
                                     "FlatOut.exe\" is in use by another program.\r\n"
                                     "Please close that program (is the game running?) and try again.");
  EXPECT_EQ(ListTree(target), (std::vector<std::string>{"FlatOut.exe", "old.txt"}));
  EXPECT_EQ(probes, 0);

  // 4 gigabytes free and 1 in the old installation: enough, once emptied.
  HANDLE large = CreateFileW(Widen(target + "Common2.bfs").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  LARGE_INTEGER size{};
  size.QuadPart = static_cast<LONGLONG>(kGigabyte);
  ASSERT_TRUE(SetFilePointerEx(large, size, nullptr, FILE_BEGIN) && SetEndOfFile(large));
  CloseHandle(large);
  freeBytes = 4 * kGigabyte;
  ui.messages.clear();
  ui.Answer(IDYES);
  EXPECT_TRUE(ReadyToInstall(*run, probe));
  EXPECT_EQ(ui.messages.size(), 1u);

  // A link to a file elsewhere, which Wine shows as a plain file, would be
  // written through: it stops it too, by name, and the file it names stays.
  WriteFile(work / "Game\\Common2.bfs", "the game's archive");
  DeleteFileW(Widen(target + "Common2.bfs").c_str());
  if (MakeLink(target + "Common2.bfs", work / "Game\\Common2.bfs")) {
    ui.messages.clear();
    ui.Answer(IDYES);
    if (!ReadyToInstall(*run, probe)) {
      ASSERT_EQ(ui.messages.size(), 2u);
      EXPECT_TRUE(ui.messages[1].text.starts_with("The ZEM7 Game Folder cannot be emptied: \"" + target +
                                                  "Common2.bfs\" leads outside the folder, to \""))
          << ui.messages[1].text;
    }
    EXPECT_EQ(ReadFile(work / "Game\\Common2.bfs"), "the game's archive");
    ASSERT_TRUE(RemoveLink(target + "Common2.bfs"));
  }

  // A link that cannot go by itself (a Linux one, under Wine) stops it too.
  WriteFile(work / "Saves\\save1.dat", "the player's saves");
  ASSERT_TRUE(MakeLink(target + "saves", work / "Saves"));
  ui.messages.clear();
  ui.Answer(IDYES);
  if (!ReadyToInstall(*run, probe)) {
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_TRUE(
        ui.messages[1].text.starts_with("The ZEM7 Game Folder cannot be emptied: \"" + target + "saves\" is a link"))
        << ui.messages[1].text;
  }
  EXPECT_EQ(ReadFile(work / "Saves\\save1.dat"), "the player's saves");
}

// A folder that holds files is emptied only when an earlier installation
// filled it (or no file is in it at all), and only when all of it can go:
// no folder held by a program, no drive's root or game reached through
// another name inside.
TEST_F(ReadinessTest, OnlyAWhollyDeletableEarlierInstallationIsEmptied) {
  struct Case {
    const char* name;
    std::vector<std::string> files;  // "x\\" is a folder
    bool asked;                      // the recreate question comes
    const char* refusal;             // "" when the installation may go ahead
    bool aliasInside = false;        // "inner" is a drive's root
    bool gameThroughAlias = false;   // the game, inside, is named through that drive
    const char* heldFolder = nullptr;
    bool heldWithoutSharing = false;  // by a program that lets nobody list it
  };
  const Case cases[] = {
      {"foreign",
       {"notes.txt", "sub\\photo.jpg"},
       false,
       "The ZEM7 Game Folder holds files that are not from an earlier ZEM7 installation.\r\n"
       "Please select a new or empty folder."},
      {"prefix-like",
       {"system.reg", "drive_c\\windows\\win.ini", "dosdevices\\"},
       false,
       "holds files that are not from an earlier ZEM7 installation"},
      {"old installation", {"FlatOut.exe", "data\\cars\\car1.bfs"}, true, ""},
      {"empty folders", {"a\\b\\", "c\\"}, true, ""},
      {"held folder",
       {"FlatOut.exe", "top.txt", "z\\4.txt"},
       true,
       "z\" is in use by another program.",
       false,
       false,
       "z"},
      {"held without sharing",
       {"FlatOut.exe", "z\\4.txt"},
       true,
       "z\" is in use by another program.",
       false,
       false,
       "z",
       true},
      {"drive inside", {"FlatOut.exe", "inner\\saves\\slot1.sav"}, true, "inner\" is the root of the drive ", true},
      // What a cut-off run left aside is the player's, with or without a record.
      {"kept files waiting", {"FlatOut.exe", "ZEM7 Kept Files\\saves\\slot1.sav"}, true, ""},
      {"unfinished record", {"Common1.bfs", "ZEM7 Kept Files\\saves\\slot1.sav", "shot.bmp"}, true, ""},
      // With its record, the player's files are counted: one changed, one new.
      {"recorded", {"Common1.bfs", "saves\\slot1.sav", "shot.bmp"}, true, ""},
      {"edited record", {"Common1.bfs", "saves\\slot1.sav"}, false, "whose record cannot be used: it was changed"},
      // Wine names the game by either drive: the checks, or the walk that
      // runs before anything is deleted, find it.
      {"game through a drive inside",
       {"FlatOut.exe", "inner\\FlatOut\\FlatOut.exe", "inner\\FlatOut\\Common1.bfs", "inner\\FlatOut\\Common2.bfs"},
       true,
       "cannot contain the FlatOut Game Folder.|inner\" is the root of the drive ",
       true,
       true},
  };
  ui.language = Language::German;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string target = work / (std::string("targets\\") + c.name);
    for (const std::string& file : c.files)
      file.ends_with("\\") ? MakeFolders(target + "\\" + file) : WriteFile(target + "\\" + file, file);
    if (std::string_view(c.name).find("record") != std::string_view::npos) {
      InstallationRecord record;
      record.files = FileSystem::FilesBelow(target);
      std::erase_if(record.files, [](const FileSystem::FileFacts& file) { return file.path == "shot.bmp"; });
      if (std::string_view(c.name).starts_with("unfinished")) {
        // A cut-off run's: what it made is listed, the player's file put back is not.
        record.stage = RecordStage::UnderWay;
      }
      WriteRecord(target + "\\", record);
      if (record.stage == RecordStage::Complete) WriteFile(target + "\\saves\\slot1.sav", "played since");
      if (std::string_view(c.name).starts_with("edited"))
        WriteFile(target + "\\" + kRecordName, ReadFile(target + "\\" + kRecordName) + "file\t1\t1\tFlatOut.exe\r\n");
    }
    std::optional<DriveAlias> alias;
    if (c.aliasInside) {
      alias.emplace(target + "\\inner");
      ASSERT_FALSE(alias->Root().empty());
      if (c.gameThroughAlias) run->plan.gameFolder = alias->Root() + "FlatOut\\";
    }
    std::vector<std::string> before = TreeContents(target);
    std::vector<std::string> outside = TreeContents(work / "Games");
    run->plan.zem7Folder = target + "\\";
    ui.messages.clear();
    if (c.asked) ui.Answer(IDYES);
    wchar_t current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    UniqueFile exclusive;
    if (c.heldWithoutSharing)
      exclusive.Reset(CreateFileW(Widen(target + "\\" + c.heldFolder).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    else if (c.heldFolder)
      SetCurrentDirectoryW(Widen(target + "\\" + c.heldFolder).c_str());
    ReadyState ready = ReadyToInstall(*run, probe);
    SetCurrentDirectoryW(current);
    exclusive.Reset();
    EXPECT_EQ(ready.ready, *c.refusal == '\0');
    EXPECT_EQ(ready.targetToEmpty != nullptr, ready.ready);
    std::string refusal = c.refusal;
    bool eitherWay = refusal.find('|') != std::string::npos;
    if (eitherWay) {
      std::string last = ui.messages.empty() ? "" : ui.messages.back().text;
      EXPECT_TRUE(last.find(refusal.substr(0, refusal.find('|'))) != std::string::npos ||
                  last.find(refusal.substr(refusal.find('|') + 1)) != std::string::npos)
          << last;
    } else {
      ASSERT_EQ(ui.messages.size(), (c.asked ? 1u : 0u) + (ready ? 0u : 1u));
    }
    const std::map<std::string, std::string> questions = {
        {"recorded",
         "The ZEM7 Game Folder holds an earlier ZEM7 installation.\r\nDo you wish to recreate this folder? Your saves "
         "and settings (2 file(s) made or changed since) are kept."},
        {"kept files waiting",
         "The ZEM7 Game Folder contains files, this folder must be empty.\r\nDo you wish to recreate this folder? All "
         "its files will be deleted but your saves and settings in \"ZEM7 Kept Files\" (1 file(s)), which are kept."},
        {"unfinished record",
         "The ZEM7 Game Folder holds a ZEM7 installation that did not finish.\r\nDo you wish to recreate this "
         "folder? Your saves and settings (2 file(s)) are kept."},
    };
    std::string question = questions.contains(c.name) ? questions.at(c.name)
                                                      : "The ZEM7 Game Folder contains files, this folder must be "
                                                        "empty.\r\nDo you wish to recreate this folder (all files will "
                                                        "be deleted)?";
    if (c.asked && !(eitherWay && ui.messages.size() == 1)) {
      EXPECT_EQ(ui.messages[0].text, question);
    }
    if (!ready && !eitherWay) {
      EXPECT_NE(ui.messages.back().text.find(c.refusal), std::string::npos) << ui.messages.back().text;
    }
    // The reason inside a refusal is the player's language too.
    const std::map<std::string, std::string> inGerman = {
        {"edited record", "deren Installationsliste nicht verwendet werden kann: sie wurde geändert"},
        {"drive inside", "inner“ ist das Stammverzeichnis des Laufwerks "},
    };
    if (inGerman.contains(c.name)) {
      EXPECT_NE(ui.messages.back().shown.find(inGerman.at(c.name)), std::string::npos) << ui.messages.back().shown;
    }
    ready = {};
    run->plan.gameFolder = Game();
    EXPECT_EQ(TreeContents(target), before);
    EXPECT_EQ(TreeContents(work / "Games"), outside);
  }
}

TEST_F(ReadinessTest, MissingTargetPassesWithoutAQuestion) {
  EXPECT_TRUE(ReadyToInstall(*run, probe));
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(probes, 1);
}

TEST_F(ReadinessTest, FreeSpaceRoundsHalvesToEvenAndAllowsLargeDisks) {
  EXPECT_EQ(WholeGigabytes(4 * kGigabyte + kGigabyte / 2), 4);
  EXPECT_EQ(WholeGigabytes(5 * kGigabyte + kGigabyte / 2), 6);
  EXPECT_EQ(WholeGigabytes(40000 * kGigabyte), 40000);  // beyond a 16-bit count

  freeBytes = 4831838208ull;  // exactly 4.5 gigabytes
  EXPECT_FALSE(ReadyToInstall(*run, probe));
  EXPECT_EQ(RefusalText(),
            "The ZEM7 Mod cannot be installed, due to the lack of space on your harddrive.\r\n"
            "You need at least 5 Gigabyte of free space to install the mod.");
  ui.messages.clear();
  freeBytes = 4831838208ull + 1024 * 1024;
  EXPECT_TRUE(ReadyToInstall(*run, probe));
  freeBytes = 40000 * kGigabyte;
  EXPECT_TRUE(ReadyToInstall(*run, probe));
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ReadinessTest, UnreadableDriveCountsAsFullAndNetworkTargetIsNotMeasured) {
  probe = [](const std::string&) -> uint64_t { throw RuntimeError(21, "The device is not ready."); };
  EXPECT_FALSE(ReadyToInstall(*run, probe));
  EXPECT_NE(RefusalText().find("lack of space"), std::string::npos);

  ui.messages.clear();
  run->plan.zem7Folder = "\\\\server\\share\\FlatOut - ZEM7\\";
  EXPECT_TRUE(ReadyToInstall(*run, probe));
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ReadinessTest, TargetsThatWouldHarmTheGameTheInstallerOrTheUsersFilesAreRefusedBeforeAnyQuestion) {
  std::string shortGame = GetShortPath(run->reporter, Game());
  ASSERT_TRUE(MakeLink(work / "Game link", Game()));
  WriteFile(work / "a file", "the user's");
  char missingDrive = 'Q';
  while (GetDriveTypeW(Widen(std::string(1, missingDrive) + ":\\").c_str()) != DRIVE_NO_ROOT_DIR) ++missingDrive;
  struct Case {
    std::string target;
    std::string reason;
  };
  const Case cases[] = {
      {"C:\\", "cannot be the root of a drive"},
      {work / "Games\\", "cannot contain the FlatOut Game Folder"},
      {work / "Games\\FlatOut\\..\\", "cannot contain the FlatOut Game Folder"},
      {ToUpper(Game()), "cannot match the FlatOut Game Folder"},
      {Game() + "ZEM7\\", "cannot lie inside the FlatOut Game Folder"},
      {shortGame + "data\\", "cannot lie inside the FlatOut Game Folder"},
      {ToLower(work / "Games\\FlatOut\\..\\FLATOUT\\mods\\"), "cannot lie inside the FlatOut Game Folder"},
      {work.Path() + "\\", "cannot contain the FlatOut Game Folder"},
      {run->plan.installerFolder, "cannot contain the folder of this installer"},
      // The installer runs elevated: these would be emptied on "recreate".
      {Environment("windir"), "cannot be or contain the Windows folder"},
      {Environment("windir") + "\\System32", "cannot lie inside the Windows folder"},
      {Environment("ProgramFiles"), "cannot be or contain the Program Files folder"},
      {Environment("ProgramFiles(x86)"), "cannot be or contain the Program Files (x86) folder"},
      {Environment("ProgramData"), "cannot be or contain the ProgramData folder"},
      {Environment("USERPROFILE"), "cannot be or contain your user profile folder"},
      {Environment("USERPROFILE") + "\\..", "cannot be or contain the Users folder"},
      // The user's own files, and the links that lead elsewhere.
      {Environment("USERPROFILE") + "\\Desktop", "cannot be or contain your Desktop folder"},
      // In a Wine prefix these two may be one folder, a link to the Linux home.
      {Environment("USERPROFILE") + "\\Documents", "cannot be or contain your "},
      {Environment("APPDATA"), "cannot be or contain your AppData\\Roaming folder"},
      {Environment("PUBLIC"), "cannot be or contain the Public folder"},
      {work / "Game link", "The ZEM7 Game Folder is a link to another folder.\r\nPlease select another location."},
      {work / "Game link\\ZEM7", "cannot lie inside the FlatOut Game Folder"},
      // Folders that cannot be made, refused before anything is touched.
      {work / "a file", "cannot be created: \"" + work / "a file\" is a file."},
      {work / "a file\\ZEM7", "cannot be created: \"" + work / "a file\" is a file."},
      {std::string(1, missingDrive) + ":\\Games\\ZEM7",
       "cannot be created: the drive " + std::string(1, missingDrive) + ": does not exist."},
      {work / "bad|name", "cannot be created: \"bad|name\" is not a possible folder name."},
      {work / "con", "cannot be created: \"con\" is not a possible folder name."},
      {work / std::string(3000, 'x'), "cannot be created: its path is longer than 159 characters"},
      {work / std::string(170, 'y'), "path is longer than 159 characters, too long for the game's files"},
  };
  MakeFolders(work / std::string(170, 'y'));  // an existing folder is held to the same limit
  WriteFile(run->plan.installerFolder + "\\ZEM7Installer.exe", "installer");
  std::vector<Case> all(std::begin(cases), std::end(cases));
  // Under Wine every folder has a second name through the drive that maps the
  // Linux root: the same folders, reached through it.
  if (std::string games = LinuxRootAlias(work / "Games"); !games.empty()) {
    all.push_back({games, "cannot contain the FlatOut Game Folder"});
    all.push_back({LinuxRootAlias(Game()), "cannot match the FlatOut Game Folder"});
    all.push_back({LinuxRootAlias(Game()) + "\\mods", "cannot lie inside the FlatOut Game Folder"});
    all.push_back({LinuxRootAlias(Environment("windir")), "cannot be or contain the Windows folder"});
  }
  for (const Case& c : all) {
    ui.messages.clear();
    run->plan.zem7Folder = FormatPath(c.target);
    EXPECT_FALSE(ReadyToInstall(*run, probe)) << c.target;
    ASSERT_EQ(ui.messages.size(), 1u) << c.target;
    EXPECT_NE(ui.messages[0].text.find(c.reason), std::string::npos) << c.target << ": " << ui.messages[0].text;
    EXPECT_EQ(ui.messages[0].style, 16u);
  }
  EXPECT_TRUE(FileExists(Game() + "FlatOut.exe"));
  EXPECT_TRUE(FileExists(Game() + "Common2.bfs"));
  EXPECT_TRUE(FileExists(run->plan.installerFolder + "\\ZEM7Installer.exe"));

  EXPECT_EQ(ReadFile(work / "a file"), "the user's");

  for (std::string fine : {Environment("ProgramFiles") + "\\FlatOut - ZEM7",
                           Environment("USERPROFILE") + "\\Documents\\Games\\FlatOut - ZEM7"}) {
    ui.messages.clear();
    run->plan.zem7Folder = FormatPath(fine);  // a new folder there is fine
    EXPECT_TRUE(ReadyToInstall(*run, probe)) << fine;
    EXPECT_TRUE(ui.messages.empty());
  }

  // A log of the user's choosing in the target would be emptied away with it.
  ui.messages.clear();
  run->plan.logPath = run->plan.zem7Folder + "install.log";
  EXPECT_FALSE(ReadyToInstall(*run, probe));
  EXPECT_EQ(RefusalText(), "The log file \"" + run->plan.logPath +
                               "\" cannot lie inside the FlatOut Game Folder or the ZEM7 Game Folder.\r\n"
                               "Please select another location.");
}

// The steps change the current folder: a relative folder would name another
// one at every step.
TEST_F(ReadinessTest, FoldersTypedRelativeToTheCurrentFolderArePlannedInFull) {
  ui.Answer(IDNO);  // the confirmation
  wchar_t before[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, before);
  SetCurrentDirectoryW(Widen(work.Path()).c_str());
  CommandOutcome outcome = RunInstallCommand(*run, " Games\\FlatOut ", "Games\\FlatOut - ZEM7", probe);
  SetCurrentDirectoryW(before);
  EXPECT_EQ(outcome, CommandOutcome::Declined) << (ui.messages.empty() ? "" : ui.messages[0].text);
  EXPECT_EQ(run->plan.gameFolder, Game());
  EXPECT_EQ(run->plan.zem7Folder, work / "Games\\FlatOut - ZEM7\\");

  // A quoted folder ending in a backslash reaches the program with it doubled.
  ui.messages.clear();
  ui.Answer(IDNO);
  EXPECT_EQ(RunInstallCommand(*run, Game(), work / "Out Dir\\\\", probe), CommandOutcome::Declined);
  EXPECT_EQ(run->plan.zem7Folder, work / "Out Dir\\");
  // ".." is resolved: the tools and "in.txt" get the plain path.
  ui.Answer(IDNO);
  EXPECT_EQ(RunInstallCommand(*run, Game(), work / "Games\\FlatOut\\..\\.\\FlatOut - ZEM7", probe),
            CommandOutcome::Declined);
  EXPECT_EQ(run->plan.zem7Folder, work / "Games\\FlatOut - ZEM7\\");
  // The system's own forms are refused from the window as from the command line.
  for (std::string prefix : {"\\\\?\\", "\\\\.\\"}) {
    ui.messages.clear();
    EXPECT_EQ(RunInstallCommand(*run, Game(), prefix + work / "T5", probe), CommandOutcome::NotStarted);
    EXPECT_EQ(RefusalText(), "The ZEM7 Game Folder \"" + prefix + work / "T5" +
                                 "\" is not a possible folder: a path that begins with \\\\?\\ or \\\\.\\ is the "
                                 "system's own form.\r\nPlease select another location.");
  }
  EXPECT_FALSE(FolderExists(work / "T5"));
  // An empty game box names no folder, not the current one.
  ui.messages.clear();
  EXPECT_EQ(RunInstallCommand(*run, "  ", work / "Out Dir", probe), CommandOutcome::NotStarted);
  EXPECT_EQ(RefusalText(), "The FlatOut Game Folder does not exist, please check the location.");
}

// From the click on, a second click is refused: it must not change the
// folders under the checks or start a second installation. A No to the
// confirmation leaves a target the user agreed to recreate as it was.
TEST_F(ReadinessTest, SecondClickDuringTheChecksIsRefusedAndADeclinedRecreateDeletesNothing) {
  const std::string target = run->plan.zem7Folder;
  WriteFile(target + "FlatOut.exe", "an earlier installation");
  WriteFile(target + "old.txt", "x");
  ui.Answer(IDYES);  // recreate
  ui.Answer(IDNO);   // the confirmation
  bool inputDuringChecks = true;
  ui.onPump = [&] {
    ui.onPump = nullptr;
    inputDuringChecks = ui.inputEnabled;
    RunInstallCommand(*run, work / "Elsewhere", work / "Elsewhere - ZEM7", probe);
  };
  EXPECT_EQ(RunInstallCommand(*run, Game(), target, probe), CommandOutcome::Declined);
  ASSERT_EQ(ui.messages.size(), 3u);
  EXPECT_EQ(ui.messages[1].text, "The installation of ZEM7 is already running.\r\nPlease wait until it has finished.");
  EXPECT_TRUE(ui.messages[2].text.starts_with("Are you sure you want to install ZEM7?"));
  EXPECT_EQ(run->plan.zem7Folder, target);
  EXPECT_EQ(ReadFile(target + "old.txt"), "x");
  EXPECT_FALSE(inputDuringChecks);
  EXPECT_TRUE(ui.inputEnabled);
  EXPECT_FALSE(run->installing);
}

// While the steps run, a close asks whether to stop; No changes nothing.
TEST_F(ReadinessTest, CloseDuringTheRunAsksToStopAndOnlyYesStopsIt) {
  InstallCommands commands(*run);
  EXPECT_TRUE(commands.MayClose());  // no run: the window closes
  run->installing = true;
  EXPECT_FALSE(commands.MayClose());  // the checks: it cannot stop there
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_TRUE(ui.messages[0].text.starts_with("The installation is still running and cannot be stopped safely."));
  run->stoppable = true;
  ui.messages.clear();
  ui.Answer(IDNO);
  EXPECT_FALSE(commands.MayClose());
  EXPECT_FALSE(run->stopRequested);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text,
            "The installation is still running. Do you want to stop it?\r\n\r\nThe ZEM7 Game Folder will be left "
            "incomplete; run the installer again to recreate it.");
  EXPECT_EQ(ui.messages[0].style, static_cast<unsigned>(MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2));
  ui.Answer(IDYES);
  EXPECT_FALSE(commands.MayClose());
  EXPECT_TRUE(run->stopRequested);
  EXPECT_FALSE(commands.MayClose());  // asked once, then honoured
  EXPECT_EQ(ui.messages.size(), 2u);
}

}  // namespace
