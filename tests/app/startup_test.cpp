#include "app/startup.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "common/scripted_ui.h"
#include "common/temp_folder.h"
#include "support/run_context.h"
#include "support/path_helpers.h"
#include "support/text.h"

namespace {

// The game's installer was a 32-bit program: its key lives in the 32-bit view.
class GameKey {
 public:
  GameKey() { RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kKey, KEY_WOW64_32KEY, 0); }
  ~GameKey() { RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kKey, KEY_WOW64_32KEY, 0); }
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

}  // namespace
