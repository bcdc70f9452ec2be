// The whole installation through the real window, driven as a user would.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <thread>

#include "common/temp_folder.h"
#include "fixture.h"
#include "gui_driver.h"
#include "registry/registry.h"
#include "window/window_layout.h"
#include "support/handles.h"
#include "support/path_helpers.h"
#include "support/text.h"

namespace {

// The processes of that program's name, as a script sees them.
std::vector<DWORD> ProcessesNamed(const wchar_t* exeName) {
  std::vector<DWORD> found;
  UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry))
    if (_wcsicmp(entry.szExeFile, exeName) == 0) found.push_back(entry.th32ProcessID);
  return found;
}

bool ProcessRunning(const wchar_t* exeName) { return !ProcessesNamed(exeName).empty(); }

// What "taskkill /PID n" without /F does: WM_CLOSE to each top-level window.
void CloseTopWindowsOf(const wchar_t* exeName) {
  for (DWORD process : ProcessesNamed(exeName))
    EnumWindows(
        [](HWND window, LPARAM target) {
          DWORD owner = 0;
          GetWindowThreadProcessId(window, &owner);
          if (owner == static_cast<DWORD>(target)) PostMessageW(window, WM_CLOSE, 0, 0);
          return TRUE;
        },
        static_cast<LPARAM>(process));
}

std::string FromLinux(std::string path) { return path.starts_with("/") ? "Z:" + path : path; }

// The Linux home as Wine reaches it: WINEHOMEDIR holds it as \??\Z:\root.
std::string LinuxHome() {
  wchar_t buffer[MAX_PATH] = {};
  if (GetEnvironmentVariableW(L"WINEHOMEDIR", buffer, MAX_PATH)) {
    std::string home = Narrow(buffer);
    return home.starts_with("\\??\\") ? home.substr(4) : home;
  }
  return GetEnvironmentVariableW(L"HOME", buffer, MAX_PATH) ? FromLinux(Narrow(buffer)) : std::string();
}

// What Wine's menu builder makes of shortcuts, outside the prefix: menu
// entries with their folders and menus, and desktop files on the desktop or
// in the home itself.
std::vector<std::string> LinuxMenusAndDesktopFiles(const std::string& home) {
  std::vector<std::string> found;
  for (const char* folder :
       {".local\\share\\applications", ".local\\share\\desktop-directories", ".config\\menus", "Desktop"})
    for (const std::string& file : ListTree(home + "\\" + folder)) found.push_back(folder + ("\\" + file));
  WIN32_FIND_DATAW entry;
  UniqueFind search(FindFirstFileW(Widen(home + "\\*.desktop").c_str(), &entry));
  for (bool more = static_cast<bool>(search); more; more = FindNextFileW(search.Get(), &entry))
    found.push_back(Narrow(entry.cFileName));
  return found;
}

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
                    << ReadLogText(LogPath());
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

TEST_F(EndToEndTest, MissingArchiveAndInterruptionsDoNotStopTheRun) {
  Build({kTrackFilesRar});
  // Each report says what was missing.
  const std::string report = "box OK ZEM7Installer|ERROR: 0, The folder to move \"" + target + "*";
  std::vector<std::string> script = {
      "click cmdInstall", std::string("box YES ") + kConfirm,
      "hold ZEM7Installer|ERROR: 0, The file to copy \"" + distribution + "\\zem7trackfiles.rar\" does not exist.*",
      // During the run: the folders and buttons are disabled; Alt+M and a close are refused.
      "disabled cmdInstall", "disabled txtZEM7GameFolder", "disabled cmdFlatOutGameFolder", "accelerator cmdInstall",
      "box OK ZEM7 Installer|The installation of ZEM7 is already running.*",
      // A stop declined: the run goes on as before.
      "close", "box NO ZEM7 Installer|The installation is still running. Do you want to stop it?*", "answer OK",
      // The extractor found no archive, and says so with its exit code.
      "box OK ZEM7Installer|ERROR: 6, \"unrar.exe\" could not extract*"};
  // The track folders that only the missing archive brings cannot be moved into their parts.
  for (int i = 0; i < 10; ++i) script.push_back(report);
  // The end tells the truth: a warning with the number of reports, not "successfully installed".
  script.push_back(
      "box NO ZEM7 Installation|The installation of the FlatOut ZEM7 Mod finished with 12 error(s); please read "
      "ZEM7InstallLog.txt.*");
  script.push_back(std::string("box NO ") + kPlayQuestion);
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

// The installer run by a script: switches in, exit code and console output out.
class UnattendedTest : public EndToEndTest {
 protected:
  struct Outcome {
    DWORD exitCode = 9999;
    std::string out, err;
    bool windowSeen = false, boxSeen = false, progressSeen = false;
  };

  // Starts the installer in its folder with its output in files, and watches
  // its windows until it ends.
  Outcome RunInstaller(const std::string& arguments, DWORD timeoutMs = 120000) {
    Outcome outcome;
    // Files of this run's own: the desktop process that Wine starts with the
    // first window inherits the handles and may keep an earlier run's open.
    std::string run = std::to_string(++runs_);
    std::string outPath = root / ("stdout" + run + ".txt"), errPath = root / ("stderr" + run + ".txt");
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    auto output = [&](const std::string& path) {
      return UniqueFile(
          CreateFileW(Widen(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr));
    };
    UniqueFile out = output(outPath), err = output(errPath);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out.Get();
    startup.hStdError = err.Get();
    std::wstring line = Widen("\"" + distribution + "\\ZEM7Installer.exe\" " + arguments);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, Widen(distribution).c_str(), &startup,
                        &process)) {
      ADD_FAILURE() << "cannot start the installer: " << GetLastError();
      return outcome;
    }
    UniqueHandle running(process.hProcess), thread(process.hThread);
    for (ULONGLONG start = GetTickCount64(); WaitForSingleObject(running.Get(), 100) == WAIT_TIMEOUT;) {
      Watch(process.dwProcessId, outcome);
      if (GetTickCount64() - start > timeoutMs) {
        TerminateProcess(running.Get(), 99);
        ADD_FAILURE() << "the installer did not end";
      }
    }
    GetExitCodeProcess(running.Get(), &outcome.exitCode);
    out.Reset();
    err.Reset();
    outcome.out = ReadFile(outPath);
    outcome.err = ReadFile(errPath);
    return outcome;
  }

  // What the installer shows: its main window with some progress, or a message box.
  static void Watch(DWORD processId, Outcome& outcome) {
    for (HWND window = GetTopWindow(nullptr); window; window = GetWindow(window, GW_HWNDNEXT)) {
      DWORD owner = 0;
      GetWindowThreadProcessId(window, &owner);
      wchar_t name[64] = {};
      if (owner != processId || !IsWindowVisible(window) || !GetClassNameW(window, name, 64)) continue;
      outcome.boxSeen |= std::wstring(name) == L"#32770";
      if (std::wstring(name) != L"ZEM7InstallerWindow") continue;
      outcome.windowSeen = true;
      HWND label = window;  // the percentage label, three containers down
      for (ControlId id :
           {ControlId::ProgressFrame, ControlId::ProgressBar, ControlId::PercentBox, ControlId::PercentLabel})
        label = GetDlgItem(label, static_cast<int>(id));
      wchar_t percent[16] = {};
      if (label && GetWindowTextW(label, percent, 16) && std::wstring(percent) != L"0%") outcome.progressSeen = true;
    }
  }

  void ExpectInstalled() const {
    for (int part = 1; part <= 5; ++part)
      EXPECT_TRUE(FileExists(target + "ZEM7-Patches\\zem7-tracks" + std::to_string(part) + ".bfs")) << part;
    std::string programs = FormatPath(ReadRegistryString(kShellFolders + "Common Programs"));
    EXPECT_TRUE(FileExists(programs + "Torvale\\FlatOut - ZEM7\\FlatOut.lnk"));
    EXPECT_TRUE(FileExists(FormatPath(ReadRegistryString(kShellFolders + "Common Desktop")) + "FlatOut.lnk"));
    ExpectGameUntouched();
  }

  int runs_ = 0;  // the installer's runs so far, which name their output files
};

TEST_F(UnattendedTest, VerySilentInstallsWithoutAWindowAndAnswersTheClosingQuestionsFromSwitches) {
  Build();
  std::string records = root / "runs.txt";
  SetEnvironmentVariableW(L"ZEM7_RUN_RECORD", Widen(records).c_str());
  Outcome outcome = RunInstaller("/verysilent /LOBBY /Play");
  EXPECT_EQ(outcome.exitCode, 0u) << outcome.err;
  EXPECT_FALSE(outcome.windowSeen || outcome.boxSeen);
  ExpectInstalled();
  auto log = Log();
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[log.size() - 2], "Finished installing the ZEM7 mod.");
  EXPECT_EQ(log.back(), "Exit code 0: the ZEM7 mod was installed without errors.");
  EXPECT_NE(outcome.out.find("Finished installing the ZEM7 mod."), std::string::npos);
  EXPECT_EQ(outcome.err.find("ERROR"), std::string::npos) << outcome.err;
  for (int i = 0; i < 100 && ReadFile(records).find("FlatOut.exe|") == std::string::npos; ++i) Sleep(50);
  std::string runs = FromAnsi(ReadFile(records));
  EXPECT_NE(runs.find("Velnor2Setup.exe|"), std::string::npos) << runs;
  EXPECT_NE(runs.find("FlatOut.exe|"), std::string::npos) << runs;
}

TEST_F(UnattendedTest, ErrorsDuringTheRunGiveExitCodeFourWithTheReportsOnStandardError) {
  Build({kTrackFilesRar});
  Outcome outcome = RunInstaller("/VERYSILENT");
  EXPECT_EQ(outcome.exitCode, 4u);
  EXPECT_FALSE(outcome.boxSeen);
  EXPECT_NE(outcome.err.find("Location: modZEM7::SafeCopyFile"), std::string::npos) << outcome.err;
  EXPECT_EQ(outcome.err.find(", \r\nLocation: "), std::string::npos) << "a report without its reason: " << outcome.err;
  auto log = Log();
  EXPECT_NE(std::find(log.begin(), log.end(), "12 error(s) were reported during the installation."), log.end());
  EXPECT_EQ(log.back(), "Exit code 4: the installation ran to its end with 12 error(s).");
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

  // ".." is resolved before anything sees the path: the packer takes all five archives.
  Outcome installed = RunInstaller("/SILENT /RECREATE \"/DIR=" + game + "\\..\\FlatOut - ZEM7\"");
  EXPECT_EQ(installed.exitCode, 0u) << installed.err;
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
  WNDCLASSEXW windowClass{sizeof(windowClass)};
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

}  // namespace
