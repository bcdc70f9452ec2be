#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "registry/registry.h"
#include "support/runtime_error.h"
#include "support/text.h"

namespace {

// A key of this run's own below HKCU\Software\ZEM7Test, removed with its tree
// afterwards even when a test failed half-way.
class WriteScratch {
 public:
  WriteScratch() : name_(std::to_string(GetCurrentProcessId())) {}
  ~WriteScratch() {
    HKEY parent = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\ZEM7Test", 0, KEY_ALL_ACCESS, &parent) != ERROR_SUCCESS) return;
    RegDeleteTreeW(parent, Widen(name_).c_str());
    RegCloseKey(parent);
    // Fails while another run still has keys there, which is as it should be.
    RegDeleteKeyExW(HKEY_CURRENT_USER, L"Software\\ZEM7Test", KEY_WOW64_64KEY, 0);
  }
  // "HKCU\Software\ZEM7Test\<pid>\" + relative
  std::string operator/(const std::string& relative) const {
    return "HKCU\\Software\\ZEM7Test\\" + name_ + "\\" + relative;
  }

 private:
  std::string name_;
};

TEST(RegistryWrite, KeyIsMadeWithItsValuesReadBackThenDeletedWithItsTree) {
  WriteScratch scratch;
  const std::string entry = scratch / "Uninstall\\ZEM7";             // the levels above are missing too
  const std::string folder = "C:\\Games\\\u0418\u0433\u0440\u044b";  // Игры
  WriteRegistryValues(entry, {{"DisplayName", std::string("ZEM7")},
                              {"InstallLocation", folder},
                              {"", std::string("default")},
                              {"NoModify", int32_t{1}},
                              {"EstimatedSize", int32_t{-2}}});
  WriteRegistryValues(entry + "\\Sub", {{"Inner", std::string("x")}});

  EXPECT_EQ(ReadRegistryValue(entry + "\\DisplayName"), RegistryValue(std::string("ZEM7")));
  EXPECT_EQ(ReadRegistryValue(entry + "\\InstallLocation"), RegistryValue(folder));
  EXPECT_EQ(ReadRegistryValue(entry + "\\"), RegistryValue(std::string("default")));
  EXPECT_EQ(ReadRegistryValue(entry + "\\NoModify"), RegistryValue(int32_t{1}));
  EXPECT_EQ(ReadRegistryValue(entry + "\\EstimatedSize"), RegistryValue(int32_t{-2}));
  EXPECT_TRUE(RegistryKeyExists(entry));

  DeleteRegistryKey(entry + "\\");
  EXPECT_FALSE(RegistryKeyExists(entry));
  EXPECT_FALSE(RegistryKeyExists(entry + "\\Sub"));
  EXPECT_TRUE(RegistryKeyExists(scratch / "Uninstall"));
  // Gone is what was asked for: a missing key, or a missing parent, is no error.
  EXPECT_NO_THROW(DeleteRegistryKey(entry));
  EXPECT_NO_THROW(DeleteRegistryKey(scratch / "Nowhere\\ZEM7"));
  // A root alone is never taken for a key: its tree is everything below it.
  EXPECT_THROW(DeleteRegistryKey("HKCU\\"), RuntimeError);
  EXPECT_TRUE(RegistryKeyExists("HKCU\\Software"));
}

}  // namespace
