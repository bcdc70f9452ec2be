#pragma once
// What the end-to-end tests share: the real installer started in a fixture
// game and download, driven through its window or run by a "script".
#include <windows.h>
#include <tlhelp32.h>
#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <thread>

#include "common/game_registry.h"
#include "common/temp_folder.h"
#include "fixture.h"
#include "gui_driver.h"
#include "install/installation_record.h"
#include "install/uninstall_entry.h"
#include "registry/registry.h"
#include "window/window_layout.h"
#include "support/handles.h"
#include "support/path_helpers.h"
#include "support/text.h"

// The processes of that program's name, as a script sees them.
inline std::vector<DWORD> ProcessesNamed(const wchar_t* exeName) {
  std::vector<DWORD> found;
  UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry))
    if (_wcsicmp(entry.szExeFile, exeName) == 0) found.push_back(entry.th32ProcessID);
  return found;
}

inline bool ProcessRunning(const wchar_t* exeName) { return !ProcessesNamed(exeName).empty(); }

// What "taskkill /PID n" without /F does: WM_CLOSE to each top-level window.
inline void CloseTopWindowsOf(const wchar_t* exeName) {
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

// A folder's owner, group and access list in the security descriptor language.
inline std::string RightsOf(const std::string& folder) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  constexpr SECURITY_INFORMATION kWhat =
      OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
  if (GetNamedSecurityInfoW(Widen(folder).c_str(), SE_FILE_OBJECT, kWhat, nullptr, nullptr, nullptr, nullptr,
                            &descriptor) != ERROR_SUCCESS)
    return "unreadable";
  wchar_t* text = nullptr;
  ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, kWhat, &text, nullptr);
  std::string rights = text ? Narrow(text) : "";
  LocalFree(text);
  LocalFree(descriptor);
  return rights;
}

inline std::string FromLinux(std::string path) { return path.starts_with("/") ? "Z:" + path : path; }

// The Linux home as Wine reaches it: WINEHOMEDIR holds it as \??\Z:\root.
inline std::string LinuxHome() {
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
inline std::vector<std::string> LinuxMenusAndDesktopFiles(const std::string& home) {
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

inline std::string ScreenshotPath(const std::string& name) {
  const char* folder = std::getenv("ZEM7_SCREENSHOT_DIR");
  return FromLinux(folder ? folder : ".") + "/" + name;
}

inline const char* kConfirm =
    "ZEM7 Installer|Are you sure you want to install ZEM7?\\n\\nPlease note that this will take at least 10 minutes to "
    "install.";
inline const char* kLobbyQuestion =
    "ZEM7 Installation|The FlatOut ZEM7 Mod is now successfully installed.\\nWould you like to install the Velnor v2 "
    "Multiplayer Lobby system?";
inline const char* kPlayQuestion = "ZEM7 Installation|Would you like to play the FlatOut ZEM7 mod now?";
inline const std::string kShellFolders =
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders\\";

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
    SetEnvironmentVariableW(L"ZEM7_MAKEBFS_MODE", nullptr);
  }
  // Runs the script against a freshly started installer; a failure shows the boxes met and the log.
  void Drive(const std::vector<std::string>& lines, const std::string& arguments = "") {
    InstallerDriver driver(distribution + "\\ZEM7Installer.exe", 60000, arguments);
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
