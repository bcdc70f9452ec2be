// The installer run by a script: switches in, exit code and console output out.
#include "end_to_end_fixture.h"

#include <atomic>

namespace {

TEST_F(UnattendedTest, VerySilentInstallsWithoutAWindowAndAnswersTheClosingQuestionsFromSwitches) {
  Build();
  std::string records = root / "runs.txt";
  SetEnvironmentVariableW(L"ZEM7_RUN_RECORD", Widen(records).c_str());
  // Only the ZEM7 Game Folder's rights change: never its parents', the game's or the download's.
  const std::vector<std::string> others = {root.Path(), root / "Games", game, distribution};
  std::vector<std::string> rightsBefore;
  for (const std::string& folder : others) rightsBefore.push_back(RightsOf(folder));
  Outcome outcome = RunInstaller("/verysilent /LOBBY /Play");
  for (size_t i = 0; i < others.size(); ++i) EXPECT_EQ(RightsOf(others[i]), rightsBefore[i]) << others[i];
  EXPECT_EQ(outcome.exitCode, 0u) << outcome.err;
  EXPECT_FALSE(outcome.windowSeen || outcome.boxSeen);
  ExpectInstalled();
  auto log = Log();
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(log[log.size() - 3], "Finished installing the ZEM7 mod.");
  // Wine gives no program more rights than the Linux user: the installer starts the game itself.
  EXPECT_EQ(log[log.size() - 2], "Starting the game: " + target + "Flatout.exe");
  EXPECT_EQ(log.back(), "Exit code 0: the ZEM7 mod was installed without errors.");
  EXPECT_NE(outcome.out.find("Finished installing the ZEM7 mod."), std::string::npos);
  EXPECT_EQ(outcome.err.find("ERROR"), std::string::npos) << outcome.err;
  for (int i = 0; i < 100 && ReadFile(records).find("FlatOut.exe|") == std::string::npos; ++i) Sleep(50);
  std::string runs = FromAnsi(ReadFile(records));
  EXPECT_NE(runs.find("Velnor2Setup.exe|"), std::string::npos) << runs;
  EXPECT_NE(runs.find("FlatOut.exe|"), std::string::npos) << runs;
}

TEST_F(UnattendedTest, ErrorsDuringTheRunGiveExitCodeFourWithTheReportsOnStandardError) {
  Build();
  SetEnvironmentVariableW(L"ZEM7_MAKEBFS_MODE", L"crash");
  Outcome outcome = RunInstaller("/VERYSILENT");
  EXPECT_EQ(outcome.exitCode, 4u);
  EXPECT_FALSE(outcome.boxSeen);
  EXPECT_NE(outcome.err.find("Location: modZEM7::PackBFSFile"), std::string::npos) << outcome.err;
  EXPECT_EQ(outcome.err.find(", \r\nLocation: "), std::string::npos) << "a report without its reason: " << outcome.err;
  auto log = Log();
  EXPECT_NE(std::find(log.begin(), log.end(), "5 error(s) were reported during the installation."), log.end());
  EXPECT_EQ(log.back(), "Exit code 4: the installation ran to its end with 5 error(s).");
}

// The download is checked before anything is touched: a file of the mod
// missing, or an archive that fails the extractor's own test, refuses the run,
// and an earlier installation in the target stays as it was.
TEST_F(UnattendedTest, BrokenDownloadIsRefusedBeforeAnythingIsTouched) {
  Build();
  WriteFile(target + "FlatOut.exe", "an earlier installation");
  for (const char* file : {"unrar.exe", "zem7systemfiles.rar", "zem7trackfiles.rar", "zem7makebfs.rar"}) {
    SCOPED_TRACE(file);
    std::string path = distribution + "\\" + file;
    ASSERT_TRUE(MoveFileW(Widen(path).c_str(), Widen(root / "aside").c_str()));
    Outcome outcome = RunInstaller("/VERYSILENT /RECREATE", 30000);
    MoveFileW(Widen(root / "aside").c_str(), Widen(path).c_str());
    EXPECT_EQ(outcome.exitCode, 2u);
    EXPECT_EQ(outcome.err, "The ZEM7 Mod file \"" + std::string(file) +
                               "\" is missing from the installer's folder.\r\nPlease download the mod again.\r\n");
  }
  std::string archive = distribution + "\\zem7makebfs.rar";
  std::string whole = ReadFile(archive);
  WriteFile(archive, whole.substr(0, whole.size() - 1));  // an interrupted download
  Outcome damaged = RunInstaller("/VERYSILENT /RECREATE", 30000);
  EXPECT_EQ(damaged.exitCode, 2u);
  EXPECT_NE(damaged.err.find("The ZEM7 Mod file \"zem7makebfs.rar\" is damaged (the RAR extractor's test ended with "
                             "exit code "),
            std::string::npos)
      << damaged.err;
  auto log = Log();
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(log[2], "Testing the ZEM7 Mod files.");
  EXPECT_EQ(log.back(), "Exit code 2: the folders were refused; nothing was installed.");
  EXPECT_EQ(TreeContents(target), std::vector<std::string>{"FlatOut.exe=an earlier installation"});
  ExpectGameUntouched();
}

TEST_F(UnattendedTest, EarlierInstallationIsRefusedWithoutRecreateAndEmptiedWithItInTheSilentWindow) {
  Build();
  WriteFile(target + "FlatOut.exe", "an earlier installation");
  WriteFile(target + "old save\\slot1.sav", "x");
  Outcome refused = RunInstaller("/SILENT");
  EXPECT_EQ(refused.exitCode, 2u);
  EXPECT_EQ(ReadFile(target + "old save\\slot1.sav"), "x");
  EXPECT_EQ(ListTree(target), (std::vector<std::string>{"FlatOut.exe", "old save\\", "old save\\slot1.sav"}));
  EXPECT_NE(refused.err.find("/RECREATE was not given"), std::string::npos) << refused.err;
  EXPECT_EQ(Log().back(), "Exit code 2: the folders were refused; nothing was installed.");

  // ".." is resolved before anything sees the path: the packer takes all five
  // archives. The download is tested before the earlier installation goes.
  // The window speaks the language asked for; the log stays English.
  Outcome installed = RunInstaller("/SILENT /RECREATE /lang=PT-br \"/DIR=" + game + "\\..\\FlatOut - ZEM7\"");
  EXPECT_EQ(installed.exitCode, 0u) << installed.err;
  auto log = Log();
  ASSERT_GE(log.size(), 4u);
  EXPECT_EQ(log[1], "Language shown: Brazilian Portuguese (pt-BR), as /LANG asked.");
  EXPECT_EQ(log[2], "Testing the ZEM7 Mod files.");
  EXPECT_EQ(log[3], "Deleting folder: " + target);
  EXPECT_TRUE(installed.windowSeen);
  EXPECT_TRUE(installed.progressSeen);
  EXPECT_FALSE(installed.boxSeen);
  EXPECT_FALSE(FileExists(target + "old save\\slot1.sav"));
  ExpectInstalled();
}

// A script's polite request to end (taskkill without /F sends WM_CLOSE to the
// top-level windows, hidden ones included) stops the run with exit code 5;
// ended from the task manager, the installer takes its tools with it too.
TEST_F(UnattendedTest, StoppedOrKilledRunLeavesNoToolRunning) {
  Build();
  SetEnvironmentVariableW(L"ZEM7_MAKEBFS_MODE", L"slow:600000");  // the packer hangs until it is ended
  for (bool polite : {true, false}) {
    SCOPED_TRACE(polite ? "polite" : "killed");
    std::thread script([&] {
      for (int i = 0; i < 1200 && !ProcessRunning(L"makebfs.exe"); ++i) Sleep(100);
      if (polite) return CloseTopWindowsOf(L"ZEM7Installer.exe");
      for (DWORD id : ProcessesNamed(L"ZEM7Installer.exe"))
        if (UniqueHandle installer{OpenProcess(PROCESS_TERMINATE, FALSE, id)}) TerminateProcess(installer.Get(), 9);
    });
    Outcome outcome = RunInstaller("/VERYSILENT /RECREATE", 180000);
    script.join();
    for (int i = 0; i < 50 && ProcessRunning(L"makebfs.exe"); ++i) Sleep(100);
    EXPECT_FALSE(ProcessRunning(L"makebfs.exe"));
    if (!polite) {
      EXPECT_EQ(outcome.exitCode, 9u);
      continue;
    }
    EXPECT_EQ(outcome.exitCode, 5u) << outcome.err;
    auto log = Log();
    ASSERT_GE(log.size(), 2u);
    EXPECT_TRUE(
        log[log.size() - 2].starts_with("The installation was stopped at the user's request during step 9 of "
                                        "12 (modZEM7::SplitAndPackTrackFolders)"))
        << log[log.size() - 2];
    EXPECT_EQ(log.back(),
              "Exit code 5: the installation was stopped before its end; the ZEM7 Game Folder is incomplete.");
    EXPECT_EQ(std::count(log.begin(), log.end(), "Finished installing the ZEM7 mod."), 0);
  }
  SetEnvironmentVariableW(L"ZEM7_MAKEBFS_MODE", nullptr);
  ExpectGameUntouched();
}

// A second installer would work on the same folders and log: it does nothing
// but say so, also when it finds the running one's window, which under
// /VERYSILENT is hidden.
TEST_F(UnattendedTest, SecondInstallerDoesNothingWhileOneRuns) {
  Build();
  UniqueHandle running(CreateMutexW(nullptr, FALSE, L"Local\\ZEM7Installer.Running"));
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = DefWindowProcW;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"ZEM7InstallerWindow";
  RegisterClassExW(&windowClass);
  for (bool hiddenWindow : {false, true}) {
    SCOPED_TRACE(hiddenWindow ? "hidden window" : "no window");
    HWND window = hiddenWindow ? CreateWindowExW(0, windowClass.lpszClassName, L"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                                 nullptr, nullptr, windowClass.hInstance, nullptr)
                               : nullptr;
    Outcome outcome = RunInstaller("/VERYSILENT", 30000);
    if (window) DestroyWindow(window);
    EXPECT_EQ(outcome.exitCode, 1u);
    EXPECT_EQ(outcome.err, "Another ZEM7 installation is already running.\r\n");
    EXPECT_FALSE(outcome.boxSeen);
  }
  UnregisterClassW(windowClass.lpszClassName, windowClass.hInstance);
  EXPECT_FALSE(FileExists(LogPath()));
  EXPECT_FALSE(FolderExists(target));
}

TEST_F(UnattendedTest, RefusedFoldersAndBadCommandLinesTouchNothing) {
  Build();
  WriteFile(root / "Other\\notes.txt", "somebody's");
  struct Case {
    std::string arguments;
    DWORD exitCode;
    const char* error;
  };
  const Case cases[] = {
      {"/VERYSILENT /DIR=C:\\windows", 2, "cannot be or contain the Windows folder"},
      {"/VERYSILENT \"/GAMEDIR=" + root / "Nowhere" + "\"", 2, "The FlatOut Game Folder does not exist"},
      {"/VERYSILENT /NOSUCH", 1, "Unknown switch: /NOSUCH"},
      {"/VERYSILENT /LANG=xx", 1,
       "Unknown language for /LANG: \"xx\". The languages are: en, de, fr, es, it, pl, ru, pt-BR, cs."},
      {"/VERYSILENT /LANG", 1, "  /LANG=code    the language of the window and its boxes"},
      // What a script reads stays English whatever the window's language.
      {"/VERYSILENT /LANG=ru /DIR=C:\\windows", 2, "cannot be or contain the Windows folder"},
      {"/VERYSILENT /DIR", 1, "The switch /DIR needs a folder"},
      {"/VERYSILENT /DIR=C:\\a<b", 1, "Not a possible folder for /DIR"},
      {"/VERYSILENT /DIR=\\\\.\\pipe\\x", 1, "Not a possible folder for /DIR: \\\\.\\pipe\\x"},
      {"/VERYSILENT \"/DIR=\\\\?\\" + target + "\"", 1, "Not a possible folder for /DIR"},
      // Somebody's folder is never emptied, with /RECREATE or without.
      {"/VERYSILENT /RECREATE \"/DIR=" + root / "Other" + "\"", 2,
       "The ZEM7 Game Folder holds files that are not from an earlier ZEM7 installation.\r\n"
       "Please select a new or empty folder."},
      {"/VERYSILENT /LOG=\"" + root / "elsewhere.txt" + "\" stray", 1, "Not a switch: stray"},
      // A log that would replace somebody's file, or land where the run deletes or only reads.
      {"/VERYSILENT \"/LOG=" + game + "\\FlatOut.exe\"", 1, "is not a log of this installer"},
      {"/VERYSILENT /LOG=unrar.exe", 1, "is not a log of this installer"},
      {"/VERYSILENT \"/LOG=" + root / "no such\\zem7.log" + "\"", 1, "The folder of the log file does not exist"},
      {"/VERYSILENT \"/LOG=" + game + "\"", 1, "The log file is a folder"},
      {"/VERYSILENT \"/LOG=" + game + "\\zem7.log\"", 2, "cannot lie inside the FlatOut Game Folder or the ZEM7"},
      // Devices, refused by their names: a serial port would keep any look into it waiting.
      {"/VERYSILENT /LOG=NUL", 1, "The log file is not a file: NUL"},
      {"/VERYSILENT /LOG=\\\\?\\C:\\zem7.log", 1, "The log file is not a file: \\\\?\\C:\\zem7.log"},
      {"/VERYSILENT /LOG=\\\\.\\pipe\\x", 1, "The log file is not a file: \\\\.\\pipe\\x"},
      {"/VERYSILENT \"/DIR=C:\\users\\Public\\Documents\\\" /LOG=\"COM1\\\\\" \"/DIR=C:\\\"", 1,
       "The log file is not a file: COM1\\\\"},
      // Folders of the user's, and a target that cannot be made.
      {"/VERYSILENT /RECREATE /DIR=C:\\users\\Public", 2, "cannot be or contain the Public folder"},
      {"/VERYSILENT \"/DIR=" + distribution + "\\unrar.exe\"", 2, "The ZEM7 Game Folder cannot be created: "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    Outcome outcome = RunInstaller(c.arguments, 30000);
    EXPECT_EQ(outcome.exitCode, c.exitCode);
    EXPECT_NE(outcome.err.find(c.error), std::string::npos) << outcome.err;
    if (c.exitCode == 1) {
      EXPECT_NE(outcome.err.find("Usage: ZEM7Installer.exe"), std::string::npos);
    }
    EXPECT_FALSE(outcome.boxSeen);
  }
  EXPECT_FALSE(FolderExists(target));
  EXPECT_FALSE(FileExists(root / "elsewhere.txt"));
  EXPECT_FALSE(FileExists(game + "\\zem7.log"));
  EXPECT_TRUE(FileExists(distribution + "\\unrar.exe"));
  EXPECT_EQ(ReadFile(root / "Other\\notes.txt"), "somebody's");
  ExpectGameUntouched();
}

// What a Windows program prints, run to its end.
std::string OutputOf(const std::string& commandLine, const std::string& outputPath) {
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  UniqueFile out(
      CreateFileW(Widen(outputPath).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr));
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = out.Get();
  startup.hStdError = out.Get();
  std::wstring line = Widen(commandLine);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process))
    return "cannot start: " + commandLine;
  UniqueHandle running(process.hProcess), thread(process.hThread);
  WaitForSingleObject(running.Get(), 120000);
  out.Reset();
  return ReadFile(outputPath);
}

// Answers the boxes of that title as a person would: each with the button
// given, in turn, until there are no more answers. Texts() are what they said.
class BoxAnswerer {
 public:
  BoxAnswerer(std::wstring title, std::vector<int> buttons)
      : title_(std::move(title)), buttons_(std::move(buttons)), thread_([this] { Run(); }) {}
  ~BoxAnswerer() { Texts(); }
  size_t Answered() const { return answered_; }
  // Once it has ended.
  std::vector<std::string> Texts() {
    done_ = true;
    if (thread_.joinable()) thread_.join();
    return texts_;
  }

 private:
  // The box's text: its static control that holds text.
  static std::string TextOf(HWND box) {
    std::wstring text;
    EnumChildWindows(
        box,
        [](HWND child, LPARAM found) {
          wchar_t name[16] = {}, line[2048] = {};
          GetClassNameW(child, name, 16);
          if (_wcsicmp(name, L"Static") == 0 && GetWindowTextW(child, line, 2048) > 0)
            *reinterpret_cast<std::wstring*>(found) = line;
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&text));
    return Narrow(text);
  }

  void Run() {
    while (!done_ && answered_ < buttons_.size()) {
      HWND box = FindWindowW(L"#32770", title_.c_str());
      if (box && IsWindowVisible(box)) {
        texts_.push_back(TextOf(box));
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(buttons_[answered_], BN_CLICKED), 0);
        ++answered_;
        while (!done_ && IsWindow(box)) Sleep(50);
      }
      Sleep(50);
    }
  }
  std::wstring title_;
  std::vector<int> buttons_;
  std::vector<std::string> texts_;
  std::atomic<size_t> answered_{0};
  std::atomic<bool> done_{false};
  std::thread thread_;
};

// The boxes shown without the window (a bad command line, the removal's)
// speak the language asked for; standard error keeps the English.
TEST_F(UnattendedTest, BoxesWithoutTheWindowSpeakTheLanguageAskedForWhileStandardErrorStaysEnglish) {
  Build();
  WriteFile(target + kRecordName, "\xEF\xBB\xBFZEM7 installation record, version 1\r\n");  // cut short
  struct Case {
    std::string arguments;
    DWORD exitCode;
    const wchar_t* title;
    std::string shown, err;
  };
  const Case cases[] = {
      {"/LANG=de /NOSUCH", 1, L"ZEM7-Installationsprogramm",
       "Unbekannter Schalter: /NOSUCH\r\n\r\nAufruf: ZEM7Installer.exe", "Unknown switch: /NOSUCH\r\n\r\nUsage: "},
      {"/UNINSTALL /LANG=ru \"/DIR=" + target + "\"", 2, L"Удаление ZEM7",
       "Не удаётся удалить мод ZEM7 из «" + target + "»: список установки «" + target + kRecordName + "» непригоден: он неполный.",
       "The ZEM7 mod cannot be removed from \"" + target + "\": \"" + target + kRecordName +
           "\" cannot be used: it is incomplete."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    BoxAnswerer person(c.title, {IDOK});
    Outcome outcome = RunInstaller(c.arguments, 30000);
    std::vector<std::string> shown = person.Texts();
    EXPECT_EQ(outcome.exitCode, c.exitCode);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(shown[0].starts_with(c.shown)) << shown[0];
    EXPECT_NE(outcome.err.find(c.err), std::string::npos) << outcome.err;
  }
  // The removal's log has the refusal as standard error has it.
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH, temp);
  auto log = LogTexts(Narrow(temp) + "ZEM7UninstallLog.txt");
  EXPECT_NE(std::find(log.begin(), log.end(), cases[1].err), log.end());
  EXPECT_EQ(ListTree(target), std::vector<std::string>{kRecordName});
}

// Apps & features (here Wine's own programs list) shows the installation, and
// the removal it starts takes everything of it but what the player made or
// changed: the files, the shortcuts, the entry and, once it has ended, the
// uninstaller itself.
TEST_F(UnattendedTest, AppsAndFeaturesListsTheInstallationAndItsRemovalKeepsThePlayersFiles) {
  Build();
  Outcome installed = RunInstaller("/VERYSILENT");
  ASSERT_EQ(installed.exitCode, 0u) << installed.err;
  std::string listed = OutputOf("uninstaller.exe --list", root / "list.txt");
  std::string entry = "|||FlatOut ZEM7 Mod (" + target.substr(0, target.size() - 1) + ")";
  size_t at = listed.find(entry);
  ASSERT_NE(at, std::string::npos) << listed;
  std::string key = listed.substr(listed.rfind('\n', at) + 1);
  key = key.substr(0, key.find('|'));
  EXPECT_TRUE(key.starts_with("ZEM7Mod-")) << key;
  WriteFile(target + "ZEM7\\readme.txt", "my notes");
  WriteFile(target + "screenshots\\shot1.bmp", "a screenshot");

  // It asks first, and says what it did at the end.
  std::string removing;
  {
    BoxAnswerer person(L"ZEM7 Uninstall", {IDYES, IDOK});
    removing = OutputOf("uninstaller.exe --remove " + key, root / "remove.txt");
  }
  for (int i = 0; i < 300 && FileExists(target + "ZEM7Uninstall.exe"); ++i) Sleep(100);
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH, temp);
  // The record stays with the player's files, saying that the mod was removed.
  EXPECT_EQ(ListTree(target), (std::vector<std::string>{kRecordName, "ZEM7\\", "ZEM7\\readme.txt", "screenshots\\",
                                                        "screenshots\\shot1.bmp"}))
      << removing << ReadLogText(Narrow(temp) + "ZEM7UninstallLog.txt");
  EXPECT_EQ(ReadFile(target + "ZEM7\\readme.txt"), "my notes");
  EXPECT_FALSE(RegistryKeyExists("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + key));
  std::string programs = FormatPath(ReadRegistryString(kShellFolders + "Common Programs"));
  EXPECT_FALSE(FolderExists(programs + "Torvale"));
  EXPECT_FALSE(FileExists(FormatPath(ReadRegistryString(kShellFolders + "Common Desktop")) + "FlatOut.lnk"));
  auto log = LogTexts(Narrow(temp) + "ZEM7UninstallLog.txt");
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(), "Exit code 0: the ZEM7 mod was removed.");
  ExpectGameUntouched();
}

}  // namespace
