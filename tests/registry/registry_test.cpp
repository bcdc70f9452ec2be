#include "registry/registry.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <vector>

#include "support/runtime_error.h"
#include "support/text.h"

namespace {

template <typename Body>
std::optional<RuntimeError> ErrorFrom(Body&& body) {
  try {
    body();
  } catch (const RuntimeError& error) {
    return error;
  }
  return std::nullopt;
}

std::string Text(const RegistryPathItem& item) { return std::get<std::string>(item); }

// ---- Parsing -------------------------------------------------------------

TEST(RegistryPathParsing, SplitsIntoRootSubKeyValueAndComputer) {
  struct Case {
    const char* path;
    uint32_t root;
    const char* subKey;
    const char* valueName;
    const char* computer;
  };
  const Case cases[] = {
      {"HKLM\\SOFTWARE\\BugBear\\FlatOut\\InstallDir", 0x80000002u, "SOFTWARE\\BugBear\\FlatOut\\", "InstallDir", ""},
      {"hklm\\Software\\X\\Value With Spaces", 0x80000002u, "Software\\X\\", "Value With Spaces", ""},
      {"Hkey_Local_Machine\\Software\\X\\", 0x80000002u, "Software\\X\\", "", ""},
      {"HKCU\\Direct", 0x80000001u, "", "Direct", ""},
      {"HKCU\\", 0x80000001u, "", "", ""},
      {"\\\\SERVER\\HKLM\\SOFTWARE\\X\\Y", 0x80000002u, "SOFTWARE\\X\\", "Y", "SERVER"},
      {"\\\\server-2\\hkey_users\\.DEFAULT\\", 0x80000003u, ".DEFAULT\\", "", "server-2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(static_cast<uint32_t>(std::get<int32_t>(ParseRegistryPath(c.path, kRegistryRoot))), c.root);
    EXPECT_EQ(Text(ParseRegistryPath(c.path, kRegistrySubKey)), c.subKey);
    EXPECT_EQ(Text(ParseRegistryPath(c.path, kRegistryValueName)), c.valueName);
    EXPECT_EQ(Text(ParseRegistryPath(c.path, kRegistryComputer)), c.computer);
  }
}

TEST(RegistryPathParsing, EveryRootByAbbreviationAndFullNameGivesThePredefinedHandle) {
  struct Case {
    const char* abbreviation;
    const char* fullName;
    HKEY handle;
  };
  const Case cases[] = {
      {"HKCR", "HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
      {"HKCU", "HKEY_CURRENT_USER", HKEY_CURRENT_USER},
      {"HKLM", "HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
      {"HKUS", "HKEY_USERS", HKEY_USERS},
      {"HKPD", "HKEY_PERFORMANCE_DATA", HKEY_PERFORMANCE_DATA},
      {"HKCC", "HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
      {"HKDD", "HKEY_DYN_DATA", HKEY_DYN_DATA},
  };
  for (const Case& c : cases) {
    for (std::string name : {std::string(c.abbreviation), std::string(c.fullName), ToLower(c.fullName)}) {
      SCOPED_TRACE(name);
      int32_t root = RegistryRootOf(name + "\\Key\\Value");
      EXPECT_EQ(root, static_cast<int32_t>(reinterpret_cast<LONG_PTR>(c.handle)));
      // Sign-extended on 64-bit: a zero-extended 0x80000002 is no handle at all.
      EXPECT_EQ(RegistryRootHandle(root), c.handle);
    }
  }
}

TEST(RegistryPathParsing, UnknownRootIsRejectedWithTheWholePath) {
  for (const char* path : {"HKU\\Software\\X", "\\\\SERVER\\HKU\\X\\Y", "HKLMX\\Software\\X", "\\HKLM\\X"}) {
    SCOPED_TRACE(path);
    auto error = ErrorFrom([&] { ParseRegistryPath(path, kRegistryRoot); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->Number(), static_cast<int32_t>(0x80040001u));
    EXPECT_EQ(error->Description().English(), std::string("Invalid root in registry key '") + path + "'");
  }
}

TEST(RegistryPathParsing, UnsplittablePathsAndUnknownPartsAreInvalidArguments) {
  struct Case {
    const char* path;
    int part;
  };
  const Case cases[] = {
      {"HKLM", kRegistryRoot},
      {"HKLM", kRegistrySubKey},
      {"\\\\SERVER", kRegistryRoot},
      {"\\\\SERVER", kRegistryComputer},
      {"\\\\SERVER\\HKLM", kRegistryRoot},
      {"\\\\\\HKLM\\X\\Y", kRegistryComputer},
      {"HKLM\\X\\Y", 0},
      {"HKLM\\X\\Y", 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.path) + " part " + std::to_string(c.part));
    auto error = ErrorFrom([&] { ParseRegistryPath(c.path, c.part); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->Number(), 5);
  }
  // Without any "\" the whole text is the value name.
  EXPECT_EQ(Text(ParseRegistryPath("HKLM", kRegistryValueName)), "HKLM");
  EXPECT_EQ(Text(ParseRegistryPath("HKLM", kRegistryComputer)), "");
}

// ---- Reading -------------------------------------------------------------

void SetValue(HKEY key, const std::wstring& name, DWORD type, const void* data, size_t size) {
  ASSERT_EQ(RegSetValueExW(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(size)),
            ERROR_SUCCESS);
}
void SetText(HKEY key, const std::wstring& name, DWORD type, const std::wstring& text) {
  SetValue(key, name, type, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
}

std::string UniqueName() {
  static std::atomic<int> counter{0};
  return std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++);
}

// A key of its own below <root>\Software\ZEM7Tests in one registry view,
// deleted with everything in it when the test ends.
class ScratchKey {
 public:
  ScratchKey(HKEY root, const char* rootName, REGSAM view, std::string name = UniqueName())
      : root_(root), view_(view), name_(std::move(name)) {
    std::wstring subKey = L"Software\\ZEM7Tests\\" + Widen(name_);
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExW(root, subKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    key_.Reset(key);
    path_ = std::string(rootName) + "\\Software\\ZEM7Tests\\" + name_ + "\\";
  }
  ~ScratchKey() {
    key_.Reset();
    HKEY parent = nullptr;
    if (RegOpenKeyExW(root_, L"Software\\ZEM7Tests", 0, KEY_ALL_ACCESS | view_, &parent) != ERROR_SUCCESS) return;
    RegDeleteTreeW(parent, Widen(name_).c_str());
    RegCloseKey(parent);
    // Fails while another run still has keys there, which is as it should be.
    RegDeleteKeyExW(root_, L"Software\\ZEM7Tests", view_, 0);
  }
  HKEY Get() const { return key_.Get(); }
  // "<ROOT>\Software\ZEM7Tests\<name>\" + value name
  std::string operator/(const std::string& valueName) const { return path_ + valueName; }
  std::wstring SubKey() const { return L"Software\\ZEM7Tests\\" + Widen(name_); }
  const std::string& Name() const { return name_; }

 private:
  HKEY root_;
  REGSAM view_;
  std::string name_;
  std::string path_;
  UniqueKey key_;
};

class RegistryReadTest : public ::testing::Test {
 protected:
  ScratchKey key{HKEY_CURRENT_USER, "HKCU", 0};
};

TEST_F(RegistryReadTest, TextAndNumberValuesComeBackAsStored) {
  SetText(key.Get(), L"Games", REG_SZ, L"C:\\Games");
  SetText(key.Get(), L"Expand", REG_EXPAND_SZ, L"%TEMP%\\x");
  SetText(key.Get(), L"Empty", REG_SZ, L"");
  SetText(key.Get(), L"Folder With Spaces", REG_SZ, L"C:\\Spiele\\Gr\u00f6\u00dfe");
  SetText(key.Get(), L"", REG_SZ, L"default text");
  const wchar_t unterminated[] = {L'a', L'b', L'c'};
  SetValue(key.Get(), L"Unterminated", REG_SZ, unterminated, sizeof(unterminated));
  const DWORD one = 1, allBits = 0xFFFFFFFF;
  SetValue(key.Get(), L"One", REG_DWORD, &one, sizeof(one));
  SetValue(key.Get(), L"AllBits", REG_DWORD, &allBits, sizeof(allBits));
  const BYTE two[] = {0x34, 0x12};
  const BYTE eight[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};
  SetValue(key.Get(), L"Binary2", REG_BINARY, two, sizeof(two));
  SetValue(key.Get(), L"Binary8", REG_BINARY, eight, sizeof(eight));
  SetValue(key.Get(), L"Binary0", REG_BINARY, nullptr, 0);

  struct Case {
    const char* valueName;
    RegistryValue expected;
  };
  const Case cases[] = {
      {"Games", std::string("C:\\Games")},
      {"Expand", std::string("%TEMP%\\x")},  // not expanded
      {"Empty", std::string()},
      {"Folder With Spaces", std::string("C:\\Spiele\\Gr\u00f6\u00dfe")},
      {"", std::string("default text")},  // trailing backslash: the key's default value
      {"Unterminated", std::string("abc")},
      {"One", int32_t{1}},
      {"AllBits", int32_t{-1}},
      {"Binary2", int32_t{0x1234}},
      {"Binary8", int32_t{0x04030201}},  // the first four bytes, nothing beyond
      {"Binary0", int32_t{0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(key / c.valueName);
    EXPECT_EQ(ReadRegistryValue(key / c.valueName), c.expected);
  }
  EXPECT_EQ(std::get<std::string>(ReadRegistryValue(key / "Games")).size(), 8u);
  EXPECT_EQ(ReadRegistryString(key / "AllBits"), "-1");
  EXPECT_EQ(ReadRegistryString(key / "Games"), "C:\\Games");
}

TEST_F(RegistryReadTest, FailuresCarryTheirNumberAndTheWholePath) {
  SetText(key.Get(), L"Multi", REG_MULTI_SZ, std::wstring(L"a\0b\0", 4));
  const ULONGLONG big = 1;
  SetValue(key.Get(), L"Quad", REG_QWORD, &big, sizeof(big));
  struct Case {
    std::string path;
    uint32_t number;
    const char* text;
  };
  const Case cases[] = {
      {key / "Multi", 0x80040007u, "Unsupported data type in registry value"},
      {key / "Quad", 0x80040007u, "Unsupported data type in registry value"},
      {key / "Missing", 0x80040006u, "Unable to read registry value"},
      {key / "No Such Key\\Value", 0x80040002u, "Unable to open registry key"},
      {"HKU\\Software\\Value", 0x80040001u, "Invalid root in registry key"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    auto error = ErrorFrom([&] { ReadRegistryValue(c.path); });
    ASSERT_TRUE(error);
    EXPECT_EQ(static_cast<uint32_t>(error->Number()), c.number);
    EXPECT_EQ(error->Description().English(), std::string(c.text) + " '" + c.path + "'");
  }
}

std::string ComputerName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
  GetComputerNameW(name, &length);
  return Narrow(name);
}

// Wine serves its own computer name from the local registry and refuses any other.
TEST_F(RegistryReadTest, RemotePathsConnectFirstAndReportTheirOwnErrors) {
  SetText(key.Get(), L"Games", REG_SZ, L"C:\\Games");
  std::string self = "\\\\" + ComputerName() + "\\";
  EXPECT_EQ(ReadRegistryString(self + (key / "Games")), "C:\\Games");

  auto missingKey = ErrorFrom([&] { ReadRegistryValue(self + (key / "Nope\\Games")); });
  ASSERT_TRUE(missingKey);
  EXPECT_EQ(static_cast<uint32_t>(missingKey->Number()), 0x80040004u);
  EXPECT_EQ(missingKey->Description().English(),
            "Unable to open remote registry key '" + self + (key / "Nope\\Games") + "'");

  auto noHost = ErrorFrom([] { ReadRegistryValue("\\\\ZEM7-NO-SUCH-HOST\\HKLM\\Software\\X"); });
  ASSERT_TRUE(noHost);
  EXPECT_EQ(static_cast<uint32_t>(noHost->Number()), 0x80040003u);
  EXPECT_EQ(noHost->Description().English(), "Unable to connect to remote computer '\\\\ZEM7-NO-SUCH-HOST'");
}

bool KeyExistsInView(const ScratchKey& scratch, REGSAM view) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, scratch.SubKey().c_str(), 0, KEY_QUERY_VALUE | view, &key) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

TEST(RegistryViews, ThirtyTwoBitViewIsSearchedFirstThenTheNativeOne) {
  ScratchKey only32{HKEY_LOCAL_MACHINE, "HKLM", KEY_WOW64_32KEY};
  ScratchKey only64{HKEY_LOCAL_MACHINE, "HKLM", KEY_WOW64_64KEY};
  SetText(only32.Get(), L"InstallDir", REG_SZ, L"C:\\From32");
  SetText(only64.Get(), L"InstallDir", REG_SZ, L"C:\\From64");
  // Without separate views this test would prove nothing.
  ASSERT_FALSE(KeyExistsInView(only32, KEY_WOW64_64KEY));
  ASSERT_FALSE(KeyExistsInView(only64, KEY_WOW64_32KEY));

  EXPECT_EQ(ReadRegistryString(only32 / "InstallDir"), "C:\\From32");
  EXPECT_EQ(ReadRegistryString(only64 / "InstallDir"), "C:\\From64");
}

void CreateSubKeys(HKEY parent, std::initializer_list<const wchar_t*> names) {
  for (const wchar_t* name : names) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(parent, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_SUCCESS);
    RegCloseKey(key);
  }
}

TEST(RegistryViews, SubKeysOfBothViewsAreListedOnceThe32BitViewsFirst) {
  ScratchKey games32{HKEY_LOCAL_MACHINE, "HKLM", KEY_WOW64_32KEY};
  ScratchKey games64{HKEY_LOCAL_MACHINE, "HKLM", KEY_WOW64_64KEY, games32.Name()};
  CreateSubKeys(games32.Get(), {L"1207658666", L"Shared"});
  CreateSubKeys(games64.Get(), {L"1440426004", L"shared"});
  EXPECT_EQ(ReadRegistrySubKeyNames(games32 / ""), (std::vector<std::string>{"1207658666", "Shared", "1440426004"}));
  EXPECT_EQ(ReadRegistrySubKeyNames(games32 / "Shared\\"), std::vector<std::string>{});

  auto missing = ErrorFrom([&] { ReadRegistrySubKeyNames(games32 / "Nope\\"); });
  ASSERT_TRUE(missing);
  EXPECT_EQ(static_cast<uint32_t>(missing->Number()), 0x80040002u);
  EXPECT_EQ(missing->Description().English(), "Unable to open registry key '" + (games32 / "Nope\\") + "'");
}

TEST(RegistryViews, AllUsersShellFoldersAreReadable) {
  const std::string folders = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders\\";
  for (const char* name : {"Common Programs", "Common Desktop"}) {
    SCOPED_TRACE(name);
    std::string value = ReadRegistryString(folders + name);
    EXPECT_GT(value.size(), 3u);
    EXPECT_EQ(value.find('%'), std::string::npos) << value;
  }
}

}  // namespace
