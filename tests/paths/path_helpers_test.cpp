#include "support/path_helpers.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "common/scripted_ui.h"
#include "common/temp_folder.h"
#include "support/handles.h"
#include "support/run_context.h"
#include "support/text.h"

namespace {

TEST(FormatPath, TrimsSpacesOnlyAndEndsInOneBackslash) {
  struct Case {
    const char* input;
    const char* expected;
  };
  const Case cases[] = {
      {"  C:\\Games\\FlatOut  ", "C:\\Games\\FlatOut\\"},
      {"C:\\Games\\", "C:\\Games\\"},
      {"C:", "C:\\"},
      {"C:\\x\\   ", "C:\\x\\"},
      {"C:\\Program Files\\Game", "C:\\Program Files\\Game\\"},
      {"\tC:\\x\t", "\tC:\\x\t\\"},
      {"", "\\"},
      {"   ", "\\"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatPath(c.input), c.expected) << '"' << c.input << '"';
}

std::vector<std::string> Components(const std::string& path) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t end; (end = path.find('\\', start)) != std::string::npos; start = end + 1)
    parts.push_back(path.substr(start, end - start));
  parts.push_back(path.substr(start));
  return parts;
}

bool IsShortName(const std::string& name) {
  if (name.empty() || name.find(' ') != std::string::npos) return false;
  size_t dot = name.find('.');
  if (dot == std::string::npos) return name.size() <= 8;
  return dot <= 8 && name.size() - dot - 1 <= 3 && name.find('.', dot + 1) == std::string::npos;
}

struct FileId {
  DWORD volume, high, low;
  bool operator==(const FileId&) const = default;
};

std::optional<FileId> IdOf(const std::string& path) {
  UniqueFile file(CreateFileW(Widen(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info = {};
  if (!file || !GetFileInformationByHandle(file.Get(), &info)) return std::nullopt;
  return FileId{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
}

class GetShortPathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    run = NewRun(ui, folder.Path());  // any report would be an unexpected box
  }
  TempFolder folder;
  ScriptedUi ui;
  std::unique_ptr<RunContext> run;
};

TEST_F(GetShortPathTest, LongNameWithSpacesBecomesEightDotThreeForTheSameFolder) {
  std::string longPath = folder / "Long Folder Name With Spaces.extension";
  MakeFolders(longPath);
  std::string shortPath = GetShortPath(run->reporter, longPath);
  ASSERT_FALSE(shortPath.empty());
  EXPECT_EQ(shortPath.find(' '), std::string::npos) << shortPath;
  std::vector<std::string> parts = Components(shortPath);
  ASSERT_GE(parts.size(), 2u);
  EXPECT_EQ(parts[0], longPath.substr(0, 2)) << "drive";
  for (size_t i = 1; i < parts.size(); ++i) EXPECT_TRUE(IsShortName(parts[i])) << parts[i] << " in " << shortPath;
  ASSERT_TRUE(IdOf(longPath));
  EXPECT_EQ(IdOf(shortPath), IdOf(longPath));
  // And back: a file made under the short name would be named by it.
  EXPECT_EQ(ToUpper(LongPathName(shortPath)), ToUpper(longPath));
  EXPECT_EQ(LongPathName(shortPath + "\\missing.txt"), shortPath + "\\missing.txt");
}

TEST_F(GetShortPathTest, MissingPathGivesEmptyTextWithoutReport) {
  for (std::string path : {folder / "missing", folder / "missing\\deeper\\file.txt", std::string()}) {
    EXPECT_EQ(GetShortPath(run->reporter, path), "") << path;
  }
  EXPECT_TRUE(ui.messages.empty());
}

// A path longer than the first buffer: it must come back whole, not cut or lost.
TEST_F(GetShortPathTest, ShortFormLongerThanMaxPathComesBackWhole) {
  std::wstring deep = L"\\\\?\\" + Widen(folder / "Long Name With Spaces");
  std::vector<std::wstring> created{deep};
  for (int level = 0; created.back().size() < 400; ++level) created.push_back(created.back() + L"\\d0123456");
  for (const std::wstring& folderPath : created) ASSERT_TRUE(CreateDirectoryW(folderPath.c_str(), nullptr));

  std::string shortPath = GetShortPath(run->reporter, Narrow(created.back()));
  EXPECT_GT(shortPath.size(), 300u);
  EXPECT_TRUE(shortPath.starts_with("\\\\?\\")) << shortPath;
  EXPECT_TRUE(shortPath.ends_with("\\d0123456")) << shortPath;
  EXPECT_EQ(shortPath.find(' '), std::string::npos) << shortPath;
  ASSERT_TRUE(IdOf(Narrow(created.back())));
  EXPECT_EQ(IdOf(shortPath), IdOf(Narrow(created.back())));
  EXPECT_TRUE(ui.messages.empty());

  // Removed here, innermost first: the folder's own clean-up may not reach this deep.
  for (auto it = created.rbegin(); it != created.rend(); ++it) RemoveDirectoryW(it->c_str());
}

// Moves into a folder for the test and back out again.
class CurrentFolder {
 public:
  explicit CurrentFolder(const std::string& path) {
    DWORD size = GetCurrentDirectoryW(0, nullptr);
    previous_.resize(size);
    previous_.resize(GetCurrentDirectoryW(size, previous_.data()));
    SetCurrentDirectoryW(Widen(path).c_str());
  }
  ~CurrentFolder() { SetCurrentDirectoryW(previous_.c_str()); }

 private:
  std::wstring previous_;
};

// A share's system form is "\\?\UNC\server\...": "\\?\UNC" is no drive.
TEST(PlainPathName, KnowsDrivePathsNetworkPathsAndTheSystemsOwnForms) {
  struct Case {
    const wchar_t* path;
    const wchar_t* plain;
  };
  const Case cases[] = {
      {L"C:\\Games\\a.sav", L"C:\\Games\\a.sav"},
      {L"\\\\server\\share\\Games\\a.sav", L"\\\\server\\share\\Games\\a.sav"},
      {L"\\\\?\\C:\\Games\\a.sav", L"C:\\Games\\a.sav"},
      {L"\\\\?\\UNC\\server\\share\\a.sav", L"\\\\server\\share\\a.sav"},
      {L"\\\\?\\unc\\server\\share", L"\\\\server\\share"},
      {L"\\\\.\\C:\\a.sav", L"C:\\a.sav"},
      {L"\\??\\UNC\\server\\share\\a.sav", L"\\\\server\\share\\a.sav"},
      {L"\\\\?\\UNCLE\\a.sav", L"UNCLE\\a.sav"},
  };
  for (const Case& c : cases) EXPECT_EQ(PlainPathName(c.path), c.plain) << Narrow(c.path);
}

TEST(GetAbsolutePathName, ResolvesAgainstTheCurrentFolderWithoutTrailingBackslash) {
  TempFolder folder;
  CurrentFolder inside(folder.Path());
  const std::string here = folder.Path();
  const std::string drive = here.substr(0, 2);
  struct Case {
    std::string input;
    std::string expected;
  };
  const Case cases[] = {
      {"", here},
      {".", here},
      {drive, here},
      {"sub", here + "\\sub"},
      {"sub\\", here + "\\sub"},
      {"sub\\..\\other\\file.txt", here + "\\other\\file.txt"},
      {"C:\\", "C:\\"},
      {"C:\\Windows\\", "C:\\Windows"},
      {"C:\\x\\..\\y", "C:\\y"},
      {"\\\\server\\share\\dir\\", "\\\\server\\share\\dir"},
  };
  for (const Case& c : cases) EXPECT_EQ(GetAbsolutePathName(c.input), c.expected) << '"' << c.input << '"';
}

// Told by the text alone: the names Windows turns into devices in any folder,
// and the namespaces that reach devices directly.
TEST(NamesADevice, KnowsDevicesInEveryFormAndLetsLookAlikesPass) {
  struct Case {
    const char* path;
    bool device;
  };
  const Case cases[] = {
      {"NUL", true},
      {"nul.log", true},
      {"COM1", true},
      {"COM1\\", true},
      {"LPT1.txt", true},
      {"aux", true},
      {"Con .txt", true},
      {"NUL. . ", true},
      {"C:\\logs\\prn\\x.log", true},
      {"C:NUL", true},
      {"COM\xC2\xB9", true},
      {"conout$", true},
      {"\\\\.\\pipe\\x", true},
      {"\\\\?\\C:\\x.log", true},
      {"//./COM1", true},
      {"\\??\\C:\\x.log", true},
      {"COM10", false},
      {"console.log", false},
      {"C:\\nullify\\x.log", false},
      {"LPT", false},
      {"C:\\logs\\zem7.log", false},
      {"\\\\server\\share\\aux.txt", true},
      {"\\\\server\\share\\auxiliary.txt", false},
  };
  for (const Case& c : cases) EXPECT_EQ(NamesADevice(c.path), c.device) << '"' << c.path << '"';
}

}  // namespace
