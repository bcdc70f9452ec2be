#include "app/startup.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include "common/scripted_ui.h"
#include "common/temp_folder.h"
#include "support/run_context.h"
#include "support/path_helpers.h"
#include "support/text.h"
#include "support/text_file.h"

namespace {

// The game's installer was a 32-bit program: its key lives in the 32-bit view.
class GameKey {
 public:
  GameKey() { Remove(); }
  ~GameKey() { Remove(); }
  void Remove() { RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kKey, KEY_WOW64_32KEY, 0); }
  void SetPath(const std::string& path) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_32KEY, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    std::wstring value = Widen(path);
    RegSetValueExW(key, L"Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
  }

 private:
  static constexpr const wchar_t* kKey = L"SOFTWARE\\BugBear\\FlatOut";
};

// A key with text values, made for one test and removed afterwards with the
// levels above it that it made; a key that exists already is a store's own
// and is left alone.
class StoreKey {
 public:
  using Values = std::vector<std::pair<const wchar_t*, std::string>>;
  StoreKey(HKEY root, const std::wstring& subKey, REGSAM view, const Values& values) : root_(root), view_(view) {
    for (size_t end = 0; end != std::wstring::npos;) {
      end = subKey.find(L'\\', end + 1);
      HKEY existing = nullptr;
      if (RegOpenKeyExW(root, subKey.substr(0, end).c_str(), 0, KEY_READ | view, &existing) == ERROR_SUCCESS)
        RegCloseKey(existing);
      else
        created_.push_back(subKey.substr(0, end));
    }
    if (created_.empty() || created_.back() != subKey) {
      ADD_FAILURE() << Narrow(subKey) << " exists already";
      return;
    }
    HKEY key = nullptr;
    RegCreateKeyExW(root, subKey.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view, nullptr, &key, nullptr);
    for (const auto& [name, text] : values) {
      std::wstring wide = Widen(text);
      RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                     static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
    }
    RegCloseKey(key);
  }
  ~StoreKey() {
    for (auto level = created_.rbegin(); level != created_.rend(); ++level)
      RegDeleteKeyExW(root_, level->c_str(), view_, 0);
  }

 private:
  HKEY root_;
  REGSAM view_;
  std::vector<std::wstring> created_;
};

// An environment variable set for a test and put back afterwards, absent if it was.
class EnvironmentOverride {
 public:
  EnvironmentOverride(const wchar_t* name, const std::string& value) : name_(name) {
    std::wstring previous(32767, L'\0');
    DWORD length = GetEnvironmentVariableW(name, previous.data(), static_cast<DWORD>(previous.size()));
    if (length > 0) previous_ = previous.substr(0, length);
    SetEnvironmentVariableW(name, Widen(value).c_str());
  }
  ~EnvironmentOverride() { SetEnvironmentVariableW(name_, previous_ ? previous_->c_str() : nullptr); }

 private:
  const wchar_t* name_;
  std::optional<std::wstring> previous_;
};

// The fixed fallback folder, made for one test and removed only if it made it.
class FallbackFolder {
 public:
  FallbackFolder() : made_(!FolderExists(kFallbackGameFolder)) { MakeFolders(kFallbackGameFolder); }
  ~FallbackFolder() {
    if (made_) RemoveDirectoryW(Widen(kFallbackGameFolder).c_str());
  }

 private:
  bool made_;
};

class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override { run = NewRun(ui, work.Path()); }
  std::string FirstBox() const { return window.Text(ControlId::GameFolderBox); }
  std::string SecondBox() const { return window.Text(ControlId::TargetFolderBox); }

  TempFolder work;
  // Under Wine the Linux Steam client's libraries are searched from the home
  // folder: the tests' own, empty unless a test fills it.
  TempFolder home{"zem7home", "Z:\\tmp"};
  EnvironmentOverride wineHome{L"WINEHOMEDIR", "\\??\\" + home.Path()};
  GameKey key;
  ScriptedUi ui;
  std::unique_ptr<RunContext> run;
  MainWindow window;
  IdleCommands commands;
};

TEST_F(StartupTest, ExistingGameFolderIsShownAsStoredAndTheTargetBesideIt) {
  for (std::string stored : {work / "FlatOut", work / "FlatOut\\"}) {
    MakeFolders(work / "FlatOut");
    key.SetPath(stored);
    Main(*run, window, commands, {});
    EXPECT_EQ(FirstBox(), stored);
    EXPECT_EQ(SecondBox(), work / "FlatOut - ZEM7");
  }
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_TRUE(IsWindowVisible(window.Handle()));
}

TEST_F(StartupTest, MissingFolderFallsBackThenShowsThePlaceholder) {
  key.SetPath(work / "gone");
  {
    FallbackFolder fallback;
    Main(*run, window, commands, {});
    EXPECT_EQ(FirstBox(), "c:\\Program Files\\Empire Interactive\\FlatOut");
  }
  if (!FolderExists(kFallbackGameFolder)) {
    Main(*run, window, commands, {});
    EXPECT_EQ(FirstBox(), "<Unable to find FlatOut Game Folder>");
  }
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(StartupTest, MissingKeyIsReportedOnceAndLeavesTheFirstBoxEmpty) {
  ui.AnswerAllWithOk();
  SetCurrentDirectoryW(Widen(work.Path()).c_str());
  Main(*run, window, commands, {});
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text,
            "ERROR: -2147221502, Unable to open registry key 'HKLM\\SOFTWARE\\BugBear\\FlatOut\\Path'\r\n"
            "Location: modMain::GetFlatOutGameFolder");
  EXPECT_EQ(FirstBox(), "");
  EXPECT_EQ(SecondBox(), work.Path() + " - ZEM7");
}

// A Steam library holding the game as Steam installs it; the game's folder.
std::string SteamGame(const std::string& library) {
  WriteFile(library + "\\steamapps\\appmanifest_6220.acf",
            "\"AppState\"\n{\n\t\"appid\"\t\t\"6220\"\n\t\"installdir\"\t\t\"FlatOut\"\n}\n");
  WriteFile(library + "\\steamapps\\common\\FlatOut\\FlatOut.exe", "game");
  return library + "\\steamapps\\common\\FlatOut";
}

// A path in quotes, its backslashes escaped as Steam writes them.
std::string SteamText(const std::string& path) {
  std::string escaped;
  for (char c : path) escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
  return "\"" + escaped + "\"";
}

// Steam's list of libraries in its newer form.
std::string LibraryList(const std::vector<std::string>& paths) {
  std::string text = "\"libraryfolders\"\n{\n";
  for (size_t i = 0; i < paths.size(); ++i)
    text += "\t\"" + std::to_string(i) + "\"\n\t{\n\t\t\"path\"\t\t" + SteamText(paths[i]) + "\n\t}\n";
  return text + "}\n";
}

std::string ForwardSlashes(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

constexpr const wchar_t* kSteamKey = L"Software\\Valve\\Steam";
const std::wstring kGogKey = L"SOFTWARE\\GOG.com\\Games\\ZEM7Test-" + std::to_wstring(GetCurrentProcessId());

TEST_F(StartupTest, StoreCopiesAreProposedOnlyWhereTheGamesOwnValueFindsNothing) {
  if (FolderExists(kFallbackGameFolder)) GTEST_SKIP() << "the fallback folder exists in this prefix";
  WriteFile(work / "Steam\\steamapps\\libraryfolders.vdf",
            LibraryList({work / "Steam", work / "No Such Library", work / "Library2"}));
  const std::string steamGame = SteamGame(work / "Library2");
  WriteFile(work / "GOG Games\\FlatOut\\FlatOut.exe", "game");
  MakeFolders(work / "FlatOut");
  enum class Retail { Absent, Gone, Present };
  struct Case {
    Retail retail;
    bool steam, gog;
    std::string proposed;
  };
  const Case cases[] = {
      {Retail::Absent, true, false, steamGame},        {Retail::Absent, false, true, work / "GOG Games\\FlatOut"},
      {Retail::Absent, true, true, steamGame},         {Retail::Gone, false, true, work / "GOG Games\\FlatOut"},
      {Retail::Present, true, true, work / "FlatOut"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.proposed);
    std::optional<StoreKey> steam, gog;
    if (c.steam)
      steam.emplace(HKEY_CURRENT_USER, kSteamKey, 0, StoreKey::Values{{L"SteamPath", ForwardSlashes(work / "Steam")}});
    if (c.gog)
      gog.emplace(HKEY_LOCAL_MACHINE, kGogKey, KEY_WOW64_32KEY,
                  StoreKey::Values{{L"gameName", "FlatOut"}, {L"path", work / "GOG Games\\FlatOut"}});
    key.Remove();
    if (c.retail != Retail::Absent) key.SetPath(work / (c.retail == Retail::Present ? "FlatOut" : "gone"));
    Main(*run, window, commands, {});
    EXPECT_EQ(FirstBox(), c.proposed);
    EXPECT_EQ(SecondBox(), c.proposed + " - ZEM7");
  }
  EXPECT_TRUE(ui.messages.empty());
}

// A list Steam cannot have written is passed over, and the search goes on to GOG.
TEST_F(StartupTest, SteamLibraryListsAreReadInBothFormsAndBrokenOnesPassedOver) {
  const std::string steamGame = SteamGame(work / "Library2");
  WriteFile(work / "GOG Games\\FlatOut\\FlatOut.exe", "game");
  StoreKey steam(HKEY_LOCAL_MACHINE, kSteamKey, KEY_WOW64_32KEY, {{L"InstallPath", work / "Steam"}});
  StoreKey gog(HKEY_LOCAL_MACHINE, kGogKey, 0, {{L"gameName", "FlatOut"}, {L"path", work / "GOG Games\\FlatOut\\"}});
  const std::string newer = LibraryList({work / "Library2"});
  const std::string older = "\"LibraryFolders\"\n{\n\t\"TimeNextStatsReport\"\t\t\"1561832478\"\n\t\"1\"\t\t" +
                            SteamText(work / "Library2") + "\n}\n";
  struct Case {
    std::string list;
    std::string proposed;
  };
  const Case cases[] = {
      {newer, steamGame},
      {older, steamGame},
      {newer.substr(0, newer.rfind('}')), work / "GOG Games\\FlatOut\\"},
      {"// " + std::string(1 << 20, '-') + "\n" + newer, work / "GOG Games\\FlatOut\\"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.list.substr(0, 100));
    WriteFile(work / "Steam\\steamapps\\libraryfolders.vdf", c.list);
    Main(*run, window, commands, {});
    EXPECT_EQ(FirstBox(), c.proposed);
  }
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(StartupTest, UnderWineTheLinuxClientsLibrariesAreReachedThroughTheRootDrive) {
  ASSERT_EQ(home.Path().substr(0, 2), "Z:");
  std::string linuxHome = ForwardSlashes(home.Path().substr(2));
  WriteFile(home / ".local\\share\\Steam\\steamapps\\libraryfolders.vdf",
            LibraryList({linuxHome + "/.local/share/Steam", linuxHome + "/Games/SteamLibrary"}));
  const std::string steamGame = SteamGame(home / "Games\\SteamLibrary");
  Main(*run, window, commands, {});
  EXPECT_EQ(FirstBox(), steamGame);
  EXPECT_TRUE(ui.messages.empty());
}

TEST(LogFileTest, EarlierLogsAreAcceptedInEitherFormAndOtherFilesRefused) {
  struct Case {
    std::string content;
    bool accepted;
  };
  const std::string mark(kUtf8ByteOrderMark), line = "9:05:01 : 0% : Starting to installing ZEM7 mod.\r\n";
  const Case cases[] = {
      {line, true},                             // the older form, in the ANSI code page
      {mark + line, true},                      // UTF-8 after the mark
      {mark + "[Settings]\r\n" + line, false},  // the mark alone makes no log
  };
  TempFolder work;
  for (const Case& entry : cases) {
    WriteFile(work / "zem7.log", entry.content);
    EXPECT_EQ(WhyNotALogFile(work / "zem7.log").Empty(), entry.accepted) << entry.content;
  }
  // And a log as the installer writes it now.
  ScriptedUi ui;
  std::unique_ptr<RunContext> run = NewRun(ui, work.Path());
  run->log.Write("Starting to installing ZEM7 mod.");
  EXPECT_TRUE(WhyNotALogFile(run->log.Path()).Empty());
}

}  // namespace
