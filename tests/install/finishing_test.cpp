#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <sstream>

#include "install/install_fixture.h"
#include "install/install_steps.h"
#include "registry/registry.h"
#include "support/handles.h"
#include "support/path_helpers.h"
#include "support/shell_link.h"

namespace {

const std::string kProgramsValue =
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders\\Common Programs";
const std::string kDesktopValue =
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders\\Common Desktop";

struct Shortcut {
  std::string target, workingFolder;
};

Shortcut ReadShortcut(const std::string& path) {
  ComScope com;
  ComPtr<IShellLinkW> link;
  ComPtr<IPersistFile> file;
  wchar_t target[MAX_PATH] = {}, folder[MAX_PATH] = {};
  if (SUCCEEDED(
          CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.ReceiveVoid())) &&
      SUCCEEDED(link->QueryInterface(IID_IPersistFile, file.ReceiveVoid())) &&
      SUCCEEDED(file->Load(Widen(path).c_str(), STGM_READ))) {
    link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
    link->GetWorkingDirectory(folder, MAX_PATH);
  }
  return {Narrow(target), Narrow(folder)};
}

std::string ShortcutTarget(const std::string& path) { return ReadShortcut(path).target; }

// The all-users shortcuts live in the test prefix; leave none behind.
class ShortcutsTest : public ::testing::Test {
 protected:
  void SetUp() override { TearDown(); }  // what a demo run in this prefix left
  void TearDown() override {
    DeleteFileW(Widen(desktop + "FlatOut.lnk").c_str());
    DeleteFileW(Widen(desktop + "FlatOut - ZEM7.lnk").c_str());
    DeleteFileW(Widen(menu + "FlatOut.lnk").c_str());
    RemoveDirectoryW(Widen(menu).c_str());
    RemoveDirectoryW(Widen(programs + "Torvale").c_str());
  }
  InstallFixture fixture;
  std::string programs = FormatPath(ReadRegistryString(kProgramsValue));
  std::string desktop = FormatPath(ReadRegistryString(kDesktopValue));
  std::string menu = programs + "Torvale\\FlatOut - ZEM7\\";
};

TEST_F(ShortcutsTest, BothShortcutsStartTheNewGameInItsFolderAndASecondRunSavesOverThem) {
  CreateShortcuts(*fixture.run);
  const std::string game = fixture.Target() + "FlatOut.exe";
  for (const std::string& path : {menu + "FlatOut.lnk", desktop + "FlatOut.lnk"}) {
    Shortcut shortcut = ReadShortcut(path);
    EXPECT_TRUE(EqualsIgnoreCase(shortcut.target, game)) << path << ": " << shortcut.target;
    EXPECT_TRUE(EqualsIgnoreCase(FormatPath(shortcut.workingFolder), fixture.Target())) << shortcut.workingFolder;
  }
  EXPECT_EQ(fixture.Log(), (std::vector<std::string>{"Creating shortcuts.", "Creating folder: " + programs + "Torvale",
                                                     "Creating folder: " + menu}));

  CreateShortcuts(*fixture.run);
  EXPECT_TRUE(EqualsIgnoreCase(ShortcutTarget(desktop + "FlatOut.lnk"), game));
  EXPECT_FALSE(FileExists(desktop + "FlatOut - ZEM7.lnk"));
  EXPECT_EQ(fixture.Log().size(), 4u);  // the folders exist: only the heading is logged again
  EXPECT_TRUE(fixture.ui.messages.empty());
}

TEST_F(ShortcutsTest, ThePlayersOwnDesktopShortcutIsKept) {
  const std::string original = fixture.Game() + "FlatOut.exe";
  SaveShortcut(desktop + "FlatOut.lnk", original, fixture.Game());
  CreateShortcuts(*fixture.run);
  EXPECT_TRUE(EqualsIgnoreCase(ShortcutTarget(desktop + "FlatOut.lnk"), original));
  EXPECT_TRUE(EqualsIgnoreCase(ShortcutTarget(desktop + "FlatOut - ZEM7.lnk"), fixture.Target() + "FlatOut.exe"));
  EXPECT_EQ(fixture.Log().back(),
            "The desktop already holds a FlatOut.lnk of another game; the shortcut is saved as: " + desktop +
                "FlatOut - ZEM7.lnk");
  EXPECT_TRUE(fixture.ui.messages.empty());
}

TEST(CleanUpTest, RemovesTheWorkFolderAndLogsEveryListedFileEvenWhenAbsent) {
  InstallFixture fixture;
  const std::string target = fixture.Target();
  WriteFile(target + "datafull\\tracks\\arena\\x.txt", "x");
  MakeReadOnly(target + "datafull\\tracks\\arena\\x.txt");
  for (const char* file : {"makebfs.exe", "in.txt", "unrar.exe"}) WriteFile(target + file, "tool");
  WriteFile(target + "FlatOut.exe", "game");
  WriteFile(target + "ZEM7-Patches\\zem7-tracks1.bfs", "patch");

  CleanUp(*fixture.run);

  EXPECT_FALSE(FolderExists(target + "datafull"));
  EXPECT_FALSE(FileExists(target + "DelFolder.bat"));
  EXPECT_EQ(ListTree(target),
            (std::vector<std::string>{"FlatOut.exe", "ZEM7-Patches\\", "ZEM7-Patches\\zem7-tracks1.bfs"}));
  const char* listed[] = {"bfs_format.obj", "makebfs.exe",   "in.txt",       "cout.txt",  "mfc42.dll",
                          "msvcp60.dll",    "msvcrt.dll",    "zlib.dll",     "zlib1.dll", "filler76k",
                          "unrar.exe",      "bfsunpack.exe", "br549temp.bfs"};
  auto log = fixture.Log();
  ASSERT_EQ(log.size(), 14u);
  EXPECT_EQ(log[0], "Cleaning up installation files.");
  for (size_t i = 0; i < std::size(listed); ++i) {
    std::string file = target + listed[i];
    bool present = std::string(listed[i]) == "makebfs.exe" || std::string(listed[i]) == "in.txt" ||
                   std::string(listed[i]) == "unrar.exe";
    EXPECT_EQ(log[i + 1], (present ? "Deleting File: " : "Delete File missing (Not a problem): ") + file);
  }
  EXPECT_TRUE(fixture.ui.messages.empty());
}

// One line per run of a stand-in: name|command line|folder|window state|start|end.
struct RunRecord {
  std::string name, commandLine, folder;
  int windowState = -1;
  unsigned long long start = 0, end = 0;
};

std::vector<RunRecord> ReadRecords(const std::string& path) {
  std::vector<RunRecord> records;
  std::istringstream lines(FromAnsi(ReadFile(path)));
  std::string line;
  while (std::getline(lines, line)) {
    std::vector<std::string> fields;
    std::istringstream parts(line);
    std::string field;
    while (std::getline(parts, field, '|')) fields.push_back(field);
    if (fields.size() < 6) continue;
    records.push_back(
        {fields[0], fields[1], fields[2], std::stoi(fields[3]), std::stoull(fields[4]), std::stoull(fields[5])});
  }
  return records;
}

class FinalMessageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MakeFolders(fixture.Target());
    CopyFileW(Widen(StandInFolder() + "\\FlatOut.exe").c_str(), Widen(fixture.Target() + "FlatOut.exe").c_str(), FALSE);
    SetEnvironmentVariableW(L"ZEM7_RUN_RECORD", Widen(records).c_str());
    SetEnvironmentVariableW(L"ZEM7_SETUP_DELAY_MS", L"700");
  }
  void TearDown() override {
    SetEnvironmentVariableW(L"ZEM7_RUN_RECORD", nullptr);
    SetEnvironmentVariableW(L"ZEM7_SETUP_DELAY_MS", nullptr);
  }
  // The game is not waited for: give it a moment to write its line.
  std::vector<RunRecord> RecordsAfterGameStart(size_t expected) const {
    for (int i = 0; i < 100 && ReadRecords(records).size() < expected; ++i) Sleep(50);
    return ReadRecords(records);
  }
  InstallFixture fixture;
  std::string records = fixture.root / "runs.txt";
};

TEST_F(FinalMessageTest, YesToBothRunsTheSetupToItsEndThenStartsTheGameMinimisedInTheTarget) {
  fixture.ui.Answer(IDYES);
  fixture.ui.Answer(IDYES);
  FinalMessage(*fixture.run);
  ASSERT_EQ(fixture.ui.messages.size(), 2u);
  EXPECT_EQ(fixture.ui.messages[0].text,
            "The FlatOut ZEM7 Mod is now successfully installed.\r\n"
            "Would you like to install the Velnor v2 Multiplayer Lobby system?");
  EXPECT_EQ(fixture.ui.messages[1].text, "Would you like to play the FlatOut ZEM7 mod now?");
  for (const auto& message : fixture.ui.messages) {
    EXPECT_EQ(message.title, "ZEM7 Installation");
    EXPECT_EQ(message.style, static_cast<unsigned>(MB_YESNO | MB_ICONQUESTION));
  }
  auto runs = RecordsAfterGameStart(2);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].name, "Velnor2Setup.exe");
  EXPECT_EQ(runs[0].windowState, SW_SHOWNORMAL);
  EXPECT_EQ(runs[0].commandLine, "\"" + fixture.run->plan.installerFolder + "\\Velnor2Setup.exe\"");
  EXPECT_TRUE(EqualsIgnoreCase(runs[1].name, "FlatOut.exe"));
  EXPECT_EQ(runs[1].windowState, SW_SHOWMINIMIZED);
  EXPECT_TRUE(EqualsIgnoreCase(FormatPath(runs[1].folder), fixture.Target()));
  EXPECT_GE(runs[1].start, runs[0].end);  // the setup had ended before the game started
  EXPECT_TRUE(fixture.ui.unloaded);
  EXPECT_EQ(fixture.Log().front(), "Finished installing the ZEM7 mod.");
  EXPECT_EQ(fixture.ui.pointers.back(), MousePointer::Default);
}

// With reports since the install started, the end says so instead of "successfully installed".
TEST_F(FinalMessageTest, NoToBothStartsNothingClosesTheWindowAndCountedReportsMakeAWarning) {
  fixture.ui.AnswerAllWithOk();
  fixture.run->reporter.Report("modZEM7::CopyTracks", RuntimeError(3, "x"));  // before the count starts: not counted
  fixture.run->reporter.StartCounting();
  fixture.run->reporter.Report("modZEM7::CopyTracks", RuntimeError(3, "x"));
  fixture.run->reporter.Report("modZEM7::CleanUp", RuntimeError(5, "y"));
  fixture.ui.messages.clear();
  fixture.ui.Answer(IDNO);
  fixture.ui.Answer(IDNO);
  FinalMessage(*fixture.run);
  EXPECT_TRUE(ReadRecords(records).empty());
  EXPECT_TRUE(fixture.ui.unloaded);
  ASSERT_EQ(fixture.ui.messages.size(), 2u);
  EXPECT_EQ(fixture.ui.messages[0].text,
            "The installation of the FlatOut ZEM7 Mod finished with 2 error(s); please read ZEM7InstallLog.txt.\r\n"
            "Would you like to install the Velnor v2 Multiplayer Lobby system?");
  EXPECT_EQ(fixture.ui.messages[0].style, static_cast<unsigned>(MB_YESNO | MB_ICONWARNING));
  auto log = fixture.Log();
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[log.size() - 2], "2 error(s) were reported during the installation.");
  EXPECT_EQ(log.back(), "Finished installing the ZEM7 mod.");
}

TEST_F(FinalMessageTest, GameThatCannotStartIsReportedAndTheWindowStaysOpen) {
  DeleteFileW(Widen(fixture.Target() + "FlatOut.exe").c_str());
  fixture.ui.AnswerAllWithOk();
  fixture.ui.Answer(IDNO);
  fixture.ui.Answer(IDYES);
  FinalMessage(*fixture.run);
  ASSERT_EQ(fixture.ui.messages.size(), 3u);
  EXPECT_TRUE(fixture.ui.messages[2].text.ends_with("Location: modZEM7::FinalMessage"));
  EXPECT_FALSE(fixture.ui.unloaded);
}

// From an installer with more rights than the player, the desktop's shell
// starts the game, as the player; without a shell to ask, or without such
// rights, the installer starts it itself. The log says which way.
TEST_F(FinalMessageTest, PlayNowStartsTheGameAsThePlayerThroughTheShellOrElseItself) {
  struct Case {
    bool elevated, shellAnswers, throughShell;
  };
  const Case cases[] = {{true, true, true}, {true, false, false}, {false, true, false}};
  const std::string game = fixture.Target() + "Flatout.exe";
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.elevated ? "elevated" : "not elevated") + (c.shellAnswers ? ", a shell" : ", no shell"));
    DeleteFileW(Widen(records).c_str());
    struct Asked {
      std::string program, folder;
      int windowStyle;
    };
    std::vector<Asked> asked;
    fixture.run->gameStarter.elevatedAboveThePlayer = [&] { return c.elevated; };
    fixture.run->gameStarter.throughShell = [&](const std::string& program, const std::string& folder, int style) {
      asked.push_back({program, folder, style});
      return c.shellAnswers;
    };
    fixture.ui.Answer(IDNO);
    fixture.ui.Answer(IDYES);
    FinalMessage(*fixture.run);
    EXPECT_EQ(asked.size(), c.elevated ? 1u : 0u);
    if (!asked.empty()) {
      EXPECT_EQ(asked[0].program, game);
      EXPECT_EQ(asked[0].folder, fixture.Target());
      EXPECT_EQ(asked[0].windowStyle, SW_SHOWMINIMIZED);
    }
    EXPECT_EQ(RecordsAfterGameStart(c.throughShell ? 0 : 1).size(), c.throughShell ? 0u : 1u);
    EXPECT_EQ(fixture.Log().back(), (c.throughShell ? "Asked the desktop to start the game as the signed-in player: "
                                                    : "Starting the game: ") +
                                        game);
  }
}

}  // namespace
