// The whole installation through the real window, driven as a user would.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "common/temp_folder.h"
#include "fixture.h"
#include "gui_driver.h"
#include "registry/registry.h"
#include "support/path_helpers.h"
#include "support/text.h"

namespace {

std::string FromLinux(std::string path) { return path.starts_with("/") ? "Z:" + path : path; }

std::string ScreenshotPath(const std::string& name) {
  const char* folder = std::getenv("ZEM7_SCREENSHOT_DIR");
  return FromLinux(folder ? folder : ".") + "/" + name;
}

const char* kConfirm =
    "ZEM7 Installer|Are you sure you want to install ZEM7?\\n\\nPlease note that this will take at least 10 minutes to "
    "install.";
const char* kLobbyQuestion =
    "ZEM7 Installation|The FlatOut ZEM7 Mod is now successfully installed.\\nWould you like to install the Velnor v2 "
    "Multiplayer Lobby system?";
const char* kPlayQuestion = "ZEM7 Installation|Would you like to play the FlatOut ZEM7 mod now?";
const std::string kShellFolders = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders\\";

// The game's key is written where the game's 32-bit installer writes it.
void SetGamePath(const std::string& path) {
  HKEY key;
  RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\BugBear\\FlatOut", 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_32KEY,
                  nullptr, &key, nullptr);
  std::wstring value = Widen(path);
  RegSetValueExW(key, L"Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
}

class EndToEndTest : public ::testing::Test {
 protected:
  void Build(std::vector<std::string> omit = {}) {
    FixtureOptions options;
    options.gameFolder = game;
    options.distributionFolder = distribution;
    options.size = 300 * 1024;
    options.standInFolder = FromLinux(ZEM7_STAND_IN_DIR);
    options.installerExe = FromLinux(ZEM7_INSTALLER_EXE);
    options.omit = std::move(omit);
    BuildFixture(options);
    SetGamePath(game);
    gameBefore = SnapshotFolder(game);
  }
  void TearDown() override {
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\BugBear\\FlatOut", KEY_WOW64_32KEY, 0);
    std::string programs = FormatPath(ReadRegistryString(kShellFolders + "Common Programs"));
    DeleteFileW(Widen(programs + "Torvale\\FlatOut - ZEM7\\FlatOut.lnk").c_str());
    RemoveDirectoryW(Widen(programs + "Torvale\\FlatOut - ZEM7").c_str());
    RemoveDirectoryW(Widen(programs + "Torvale").c_str());
    DeleteFileW(Widen(FormatPath(ReadRegistryString(kShellFolders + "Common Desktop")) + "FlatOut.lnk").c_str());
    SetEnvironmentVariableW(L"ZEM7_RUN_RECORD", nullptr);
    SetEnvironmentVariableW(L"ZEM7_SETUP_DELAY_MS", nullptr);
  }
  // Runs the script against a freshly started installer; a failure shows the boxes met and the log.
  void Drive(const std::vector<std::string>& lines) {
    InstallerDriver driver(distribution + "\\ZEM7Installer.exe");
    std::string script;
    for (const std::string& line : lines) script += line + "\n";
    if (!driver.Run(ParseScript(script)))
      ADD_FAILURE() << driver.Failure() << "\nBoxes met:\n"
                    << driver.Transcript() << "Log:\n"
                    << FromAnsi(ReadFile(LogPath()));
    boxes = driver.Boxes();
  }
  std::string LogPath() const { return distribution + "\\ZEM7InstallLog.txt"; }
  std::vector<std::string> Log() const { return LogTexts(LogPath()); }
  void ExpectGameUntouched() const {
    EXPECT_EQ(CompareSnapshots(gameBefore, SnapshotFolder(game)), std::vector<std::string>{});
  }

  TempFolder root{"zem7 e2e"};
  std::string game = root / "Games\\FlatOut";
  std::string distribution = root / "My Mods\\ZEM7";
  std::string target = game + " - ZEM7\\";
  FolderSnapshot gameBefore;
  std::vector<MetBox> boxes;
};

TEST_F(EndToEndTest, FullInstallationBuildsTheGameCopyAndEnds) {
  Build();
  Drive({"screenshot " + ScreenshotPath("before-install.png"), "click cmdInstall", std::string("box YES ") + kConfirm,
         std::string("box NO ") + kLobbyQuestion, std::string("hold ") + kPlayQuestion,
         "screenshot " + ScreenshotPath("after-install.png"), "answer NO", "exit 60"});
  EXPECT_EQ(boxes.size(), 3u);

  auto log = Log();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.front(), "Starting to installing ZEM7 mod.");
  EXPECT_EQ(log.back(), "Finished installing the ZEM7 mod.");
  EXPECT_EQ(std::count_if(log.begin(), log.end(), [](const std::string& l) { return l.starts_with("ERROR"); }), 0);

  for (const char* file : {"FlatOut.exe", "Common1.bfs", "Common2.bfs", "ZEM7\\readme.txt"})
    EXPECT_TRUE(FileExists(target + file)) << file;
  for (int part = 1; part <= 5; ++part)
    EXPECT_TRUE(FileExists(target + "ZEM7-Patches\\zem7-tracks" + std::to_string(part) + ".bfs")) << part;
  for (const char* gone : {"datafull", "data"}) EXPECT_FALSE(FolderExists(target + gone)) << gone;
  for (const char* gone : {"bfs_format.obj", "makebfs.exe", "in.txt", "cout.txt", "mfc42.dll", "msvcp60.dll",
                           "msvcrt.dll", "zlib.dll", "zlib1.dll", "filler76k", "unrar.exe", "bfsunpack.exe",
                           "finished.txt", "br549temp.bfs", "zem7systemfiles.rar", "zem7trackfiles.rar"})
    EXPECT_FALSE(FileExists(target + gone)) << gone;
  std::string programs = FormatPath(ReadRegistryString(kShellFolders + "Common Programs"));
  std::string desktop = FormatPath(ReadRegistryString(kShellFolders + "Common Desktop"));
  EXPECT_TRUE(FileExists(programs + "Torvale\\FlatOut - ZEM7\\FlatOut.lnk"));
  EXPECT_TRUE(FileExists(desktop + "FlatOut.lnk"));
  ExpectGameUntouched();
}

TEST_F(EndToEndTest, YesToTheFinalQuestionsRunsTheSetupThenTheGame) {
  Build();
  std::string records = root / "runs.txt";
  SetEnvironmentVariableW(L"ZEM7_RUN_RECORD", Widen(records).c_str());
  SetEnvironmentVariableW(L"ZEM7_SETUP_DELAY_MS", L"500");
  Drive({"click cmdInstall", std::string("box YES ") + kConfirm, std::string("box YES ") + kLobbyQuestion,
         std::string("box YES ") + kPlayQuestion, "exit 60"});
  // The game is started, not waited for: give it a moment to write its line.
  std::string runs = FromAnsi(ReadFile(records));
  for (int i = 0; i < 100 && std::count(runs.begin(), runs.end(), '\n') < 2; ++i) {
    Sleep(50);
    runs = FromAnsi(ReadFile(records));
  }
  size_t setup = runs.find("Velnor2Setup.exe|");
  size_t play = runs.find("FlatOut.exe|");
  ASSERT_NE(setup, std::string::npos) << runs;
  ASSERT_NE(play, std::string::npos) << runs;
  EXPECT_LT(setup, play);
  // The game ran minimised (2) from the target folder.
  std::string gameField("|");
  gameField.append(target, 0, target.size() - 1).append("|2|");
  EXPECT_NE(runs.find(gameField), std::string::npos) << runs;
  ExpectGameUntouched();
}

TEST_F(EndToEndTest, ChecksRefuseBeforeAnythingIsInstalled) {
  Build();
  SetGamePath(root / "Games\\Uninstalled");
  std::string unpatched = root / "Old\\FlatOut";
  MakeFolders(unpatched);
  for (const char* file : {"FlatOut.exe", "Common1.bfs", "Common2.bfs"})
    CopyFileW(Widen(game + "\\" + file).c_str(), Widen(unpatched + "\\" + file).c_str(), FALSE);
  SYSTEMTIME november{2004, 11, 0, 30, 12, 0, 0, 0};
  FILETIME written;
  SystemTimeToFileTime(&november, &written);
  HANDLE exe = CreateFileW(Widen(unpatched + "\\FlatOut.exe").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                           OPEN_EXISTING, 0, nullptr);
  SetFileTime(exe, nullptr, nullptr, &written);
  CloseHandle(exe);
  WriteFile(target + "old save\\slot1.sav", "x");

  Drive({"click cmdInstall", "box OK ZEM7 Installer|The FlatOut Game Folder does not exist, please check the location.",
         "type txtFlatOutGameFolder " + unpatched, "type txtZEM7GameFolder   " + target.substr(0, target.size() - 1) + "  ",
         "click cmdInstall",
         "box OK ZEM7 Installer|You have not installed the official 'FlatOut v1.1' Game Patch.\\nThis is required to "
         "enable the FlatOut ZEM7 mod to work.",
         "type txtFlatOutGameFolder " + game, "click cmdInstall",
         "box NO ZEM7 Installer|The ZEM7 Game Folder contains files, this folder must be empty.\\nDo you wish to "
         "recreate this folder (all files will be deleted)?",
         "click cmdInstall",
         "box YES ZEM7 Installer|The ZEM7 Game Folder contains files*", std::string("box NO ") + kConfirm, "close",
         "exit 30"});
  EXPECT_EQ(boxes.size(), 5u);
  EXPECT_FALSE(FolderExists(target));  // emptied on Yes, and nothing installed after No
  EXPECT_FALSE(FileExists(LogPath()));
  ExpectGameUntouched();
}

TEST_F(EndToEndTest, MissingArchiveAndInterruptionsDoNotStopTheRun) {
  Build({kTrackFilesRar});
  const std::string report = "box OK ZEM7Installer|ERROR: 0, \\nLocation: modZEM7::SafeMoveFolder";
  std::vector<std::string> script = {
      "click cmdInstall", std::string("box YES ") + kConfirm,
      "hold ZEM7Installer|ERROR: 0, \\nLocation: modZEM7::SafeCopyFile",
      // During the run: a second press of the install button, then an attempt to close.
      "click cmdInstall", "box OK ZEM7 Installer|The installation of ZEM7 is already running.*", "close",
      "box OK ZEM7 Installer|The installation is still running*", "answer OK"};
  // The track folders that only the missing archive brings cannot be moved into their parts.
  for (int i = 0; i < 10; ++i) script.push_back(report);
  for (const char* last : {kLobbyQuestion, kPlayQuestion}) script.push_back(std::string("box NO ") + last);
  script.push_back("exit 60");
  Drive(script);

  auto log = Log();
  EXPECT_EQ(std::count(log.begin(), log.end(), "Starting to installing ZEM7 mod."), 1);
  EXPECT_NE(std::find(log.begin(), log.end(), "Delete File missing (Not a problem): " + target + "zem7trackfiles.rar"),
            log.end());
  EXPECT_EQ(log.back(), "Finished installing the ZEM7 mod.");
  EXPECT_TRUE(FileExists(target + "ZEM7-Patches\\zem7-tracks5.bfs"));
  ExpectGameUntouched();
}

}  // namespace
