#include "support/virtual_store.h"

#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "common/temp_folder.h"
#include "support/handles.h"
#include "support/text.h"

namespace {

std::string PathThrough(DWORD (*get)(LPCWSTR, LPWSTR, DWORD), const std::string& path) {
  std::wstring wide = Widen(path);
  std::wstring result(MAX_PATH * 4, L'\0');
  DWORD length = get(wide.c_str(), result.data(), static_cast<DWORD>(result.size()));
  result.resize(length < result.size() ? length : 0);
  return Narrow(result);
}

std::string CurrentUsersLocalAppData() {
  PWSTR path = nullptr;
  SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_DONT_VERIFY, nullptr, &path);
  UniqueCoTaskMem<PWSTR> owned(path);
  return path ? Narrow(path) : std::string();
}

// Paths are compared as the file system compares names, without regard to case.
testing::AssertionResult SamePath(const std::string& actual, const std::string& expected) {
  if (EqualsIgnoreCase(actual, expected)) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "\"" << actual << "\" is not \"" << expected << "\"";
}

TEST(VirtualStore, CoversOnlyTheProtectedFoldersOfTheSystemDriveUnderAnyOfTheirNames) {
  // A folder with a long name, and its short alias: a player may type either.
  TempFolder work{"zem7 store"};
  std::string programs = PathThrough(GetLongPathNameW, work.Path()) + "\\Program Files Of The Test";
  MakeFolders(programs + "\\FlatOut - ZEM7");
  std::string alias = PathThrough(GetShortPathNameW, programs);
  ASSERT_FALSE(alias.empty());

  const std::vector<std::string> virtualised = {"C:\\Program Files", "C:\\Program Files (x86)", "C:\\ProgramData",
                                                "C:\\Windows", programs};
  const std::string local = "C:\\Users\\Player\\AppData\\Local";
  const std::string store = local + "\\VirtualStore\\";
  struct Case {
    const char* name;
    std::string folder;
    std::string expected;
  };
  const Case cases[] = {
      {"Program Files", "C:\\Program Files\\FlatOut - ZEM7", store + "Program Files\\FlatOut - ZEM7"},
      {"Program Files (x86)", "C:\\Program Files (x86)\\Torvale\\FlatOut - ZEM7",
       store + "Program Files (x86)\\Torvale\\FlatOut - ZEM7"},
      {"ProgramData", "C:\\ProgramData\\FlatOut - ZEM7", store + "ProgramData\\FlatOut - ZEM7"},
      {"Windows", "C:\\Windows\\FlatOut - ZEM7", store + "Windows\\FlatOut - ZEM7"},
      {"the location itself", "C:\\Program Files", store + "Program Files"},
      {"another drive", "D:\\Games\\FlatOut - ZEM7", ""},
      {"another drive, same path", "D:\\Program Files\\FlatOut - ZEM7", ""},
      {"the system drive outside them", "C:\\Games\\FlatOut - ZEM7", ""},
      {"a name that only begins like one", "C:\\Program Filesx\\FlatOut - ZEM7", ""},
      {"a way out through ..", "C:\\Program Files\\..\\Games\\FlatOut - ZEM7", ""},
      {"a trailing backslash, another case", "c:\\program files\\FlatOut - ZEM7\\",
       store + "Program Files\\FlatOut - ZEM7"},
      {"a short alias", alias + "\\FlatOut - ZEM7", store + programs.substr(3) + "\\FlatOut - ZEM7"},
      {"a missing folder below a short alias", alias + "\\Removed\\FlatOut - ZEM7",
       store + programs.substr(3) + "\\Removed\\FlatOut - ZEM7"},
      {"a missing folder", "C:\\Program Files\\Not Yet Made\\FlatOut - ZEM7",
       store + "Program Files\\Not Yet Made\\FlatOut - ZEM7"},
      {"no drive", "\\\\server\\share\\Program Files\\FlatOut - ZEM7", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_TRUE(SamePath(VirtualStoreFor(c.folder, virtualised, local), c.expected));
  }
}

TEST(VirtualStore, IsTheCurrentUsersUnderWineForProgramFilesAndNoneForTheLinuxTree) {
  std::string local = CurrentUsersLocalAppData();
  ASSERT_FALSE(local.empty());
  EXPECT_TRUE(SamePath(VirtualStoreOf("C:\\Program Files\\FlatOut - ZEM7"),
                       local + "\\VirtualStore\\Program Files\\FlatOut - ZEM7"));
  EXPECT_EQ(VirtualStoreOf("Z:\\tmp\\Games\\FlatOut - ZEM7"), "");
}

}  // namespace
