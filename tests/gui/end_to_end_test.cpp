// The whole installation through the real window, driven as a user would.
#include "end_to_end_fixture.h"

namespace {

TEST_F(EndToEndTest, FullInstallationBuildsTheGameCopyAndEnds) {
  Build();
  std::string home = LinuxHome();
  ASSERT_FALSE(home.empty());
  std::vector<std::string> menusBefore = LinuxMenusAndDesktopFiles(home);
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
  // The shortcuts stay in the prefix: Wine's menu builder, off in the
  // project's scripts, would copy them into the Linux menus and desktop.
  for (int i = 0; i < 100 && ProcessRunning(L"winemenubuilder.exe"); ++i) Sleep(100);
  EXPECT_EQ(LinuxMenusAndDesktopFiles(home), menusBefore);
}

// The window and its boxes speak the language asked for; the log stays
// English, word for word, and says which language was shown.
TEST_F(EndToEndTest, TheWindowSpeaksTheChosenLanguageAndTheLogStaysEnglish) {
  Build();
  InstallerDriver german(distribution + "\\ZEM7Installer.exe", 60000, "/LANG=de");
  EXPECT_TRUE(german.Run(
      ParseScript("click cmdInstall\nbox YES ZEM7-Installationsprogramm|Möchten Sie ZEM7 wirklich installieren?*\n"
                  "box NO ZEM7-Installation|Der FlatOut-ZEM7-Mod wurde erfolgreich installiert.\\nMöchten Sie das "
                  "Mehrspieler-Lobbysystem Velnor v2 installieren?\n"
                  "hold ZEM7-Installation|Möchten Sie den FlatOut-ZEM7-Mod jetzt spielen?\n")))
      << german.Failure() << german.Transcript();
  std::string shown = german.ControlText("txtProgress");
  EXPECT_TRUE(german.Run(ParseScript("answer NO\nexit 60\n"))) << german.Failure() << german.Transcript();
  auto log = Log();
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(log[0], "Starting to installing ZEM7 mod.");
  EXPECT_EQ(log[1], "Language shown: German (de), as /LANG asked.");
  EXPECT_EQ(log.back(), "Finished installing the ZEM7 mod.");
  // The progress box showed the same entries in German, with the paths as the log has them.
  auto copied =
      std::find_if(log.begin(), log.end(), [](const std::string& l) { return l.starts_with("Copying File: "); });
  ASSERT_NE(copied, log.end());
  for (const std::string& entry :
       {std::string(" : Die Installation des ZEM7-Mods beginnt.\r\n"),
        " : Datei wird kopiert: " + copied->substr(14) + "\r\n", std::string(" : > Teil 5 von 5.\r\n"),
        std::string(" : Die Installation des ZEM7-Mods ist abgeschlossen.\r\n")})
    EXPECT_NE(shown.find(entry), std::string::npos) << entry;
  // The fixture's paths are plain ASCII: a character beyond it would be a translation in the log.
  for (const std::string& line : log)
    EXPECT_TRUE(std::all_of(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) < 128; }))
        << line;

  SetGamePath(root / "Games\\Uninstalled");
  InstallerDriver russian(distribution + "\\ZEM7Installer.exe", 60000, "/LANG=ru");
  EXPECT_EQ(russian.ControlText("lblInfo1"), "(1). Выберите расположение папки игры FlatOut:");
  EXPECT_EQ(russian.ControlText("cmdInstall"), "(3). Нажмите, чтобы установить &мод ZEM7");
  wchar_t title[128] = {};
  GetWindowTextW(russian.MainWindow(), title, 128);
  EXPECT_EQ(Narrow(title), "FlatOut - установка мода ZEM7");
  EXPECT_TRUE(russian.Run(ParseScript(
      "click cmdInstall\nbox OK Установщик ZEM7|Папка игры FlatOut не существует, проверьте расположение.\nclose\n"
      "exit 30\n")))
      << russian.Failure() << russian.Transcript();
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
  HANDLE exe = CreateFileW(Widen(unpatched + "\\FlatOut.exe").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                           0, nullptr);
  SetFileTime(exe, nullptr, nullptr, &written);
  CloseHandle(exe);
  WriteFile(target + "FlatOut.exe", "an earlier installation");
  WriteFile(target + "old save\\slot1.sav", "x");

  Drive({"click cmdInstall", "box OK ZEM7 Installer|The FlatOut Game Folder does not exist, please check the location.",
         "type txtFlatOutGameFolder " + unpatched,
         "type txtZEM7GameFolder   " + target.substr(0, target.size() - 1) + "  ", "click cmdInstall",
         "box OK ZEM7 Installer|You have not installed the official 'FlatOut v1.1' Game Patch.\\nThis is required to "
         "enable the FlatOut ZEM7 mod to work.",
         "type txtFlatOutGameFolder " + game,
         // The system's own form of a path is refused here as on the command line, before anything is touched.
         "type txtZEM7GameFolder \\\\?\\" + target, "click cmdInstall",
         "box OK ZEM7 Installer|The ZEM7 Game Folder \"\\\\?\\" + target + "\" is not a possible folder*",
         "type txtZEM7GameFolder " + target, "click cmdInstall",
         "box NO ZEM7 Installer|The ZEM7 Game Folder contains files, this folder must be empty.\\nDo you wish to "
         "recreate this folder (all files will be deleted)?",
         "click cmdInstall", "box YES ZEM7 Installer|The ZEM7 Game Folder contains files*",
         std::string("box NO ") + kConfirm, "close", "exit 30"});
  EXPECT_EQ(boxes.size(), 6u);
  EXPECT_EQ(ReadFile(target + "old save\\slot1.sav"), "x");  // nothing deleted before the go-ahead
  EXPECT_FALSE(FileExists(LogPath()));
  ExpectGameUntouched();
}

TEST_F(EndToEndTest, FailingPackerAndInterruptionsDoNotStopTheRun) {
  Build();
  SetEnvironmentVariableW(L"ZEM7_MAKEBFS_MODE", L"crash");  // the packer fails on each of the five archives
  const std::string report =
      "box OK ZEM7Installer|ERROR: 3, \"makebfs.exe\" could not make the archive (exit code 3).*";
  std::vector<std::string> script = {
      "click cmdInstall", std::string("box YES ") + kConfirm,
      "hold ZEM7Installer|ERROR: 3, \"makebfs.exe\" could not make the archive (exit code 3).\\nLocation: "
      "modZEM7::PackBFSFile",
      // During the run: the folders and buttons are disabled; Alt+M and a close are refused.
      "disabled cmdInstall", "disabled txtZEM7GameFolder", "disabled cmdFlatOutGameFolder", "accelerator cmdInstall",
      "box OK ZEM7 Installer|The installation of ZEM7 is already running.*",
      // A stop declined: the run goes on as before.
      "close", "box NO ZEM7 Installer|The installation is still running. Do you want to stop it?*", "answer OK"};
  for (int i = 0; i < 4; ++i) script.push_back(report);
  // The end tells the truth: a warning with the number of reports, not "successfully installed".
  script.push_back(
      "box NO ZEM7 Installation|The installation of the FlatOut ZEM7 Mod finished with 5 error(s); please read "
      "ZEM7InstallLog.txt.*");
  script.push_back(std::string("box NO ") + kPlayQuestion);
  script.push_back("exit 60");
  Drive(script);

  auto log = Log();
  EXPECT_EQ(std::count(log.begin(), log.end(), "Starting to installing ZEM7 mod."), 1);
  EXPECT_EQ(log.back(), "Finished installing the ZEM7 mod.");
  EXPECT_TRUE(FileExists(target + "FlatOut.exe"));
  ExpectGameUntouched();
}

}  // namespace
