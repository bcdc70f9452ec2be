#include "support/key_values.h"

#include <gtest/gtest.h>

namespace {

// The tree in one line: "key=value" for a value, "key{...}" for a section.
std::string Dump(const KeyValues& entry) {
  if (!entry.isSection) return entry.key + "=" + entry.value;
  std::string text = entry.key + "{";
  for (const KeyValues& child : entry.children) {
    if (&child != &entry.children.front()) text += ",";
    text += Dump(child);
  }
  return text + "}";
}

std::string Nested(int depth) {
  std::string text;
  for (int i = 0; i < depth; ++i) text += "\"k\" { ";
  return text + std::string(depth, '}');
}

TEST(KeyValues, ParsesSteamFilesAndRejectsBrokenOnes) {
  struct Case {
    std::string text;
    std::optional<std::string> tree;  // nothing: malformed
  };
  const Case cases[] = {
      {R"("libraryfolders"
{
	"0"
	{
		"path"		"C:\\Program Files (x86)\\Steam"
		"label"		""
		"apps"
		{
			"228980"		"29212173"
		}
	}
	"1" { "path" "D:\\SteamLibrary" }
})",
       R"({libraryfolders{0{path=C:\Program Files (x86)\Steam,label=,apps{228980=29212173}},1{path=D:\SteamLibrary}}})"},
      {R"("LibraryFolders"
{
	"TimeNextStatsReport"		"1561832478"
	"1"		"D:\\Games\\Steam"
})",
       R"({LibraryFolders{TimeNextStatsReport=1561832478,1=D:\Games\Steam}})"},
      {"// made by hand\n\"k\" \"a\\\\b\\\"c\\nd\\te\\q\" // \"x\" \"y\"\n\"u\" \"// kept\"",
       "{k=a\\b\"c\nd\te\\q,u=// kept}"},
      {"AppState { appid 6220 installdir FlatOut }", "{AppState{appid=6220,installdir=FlatOut}}"},
      {"\xEF\xBB\xBF\"a\"\r\n{\r\n}\r\n", "{a{}}"},
      {"", "{}"},
      {Nested(33), std::nullopt},
      {"\"a\" \"unterminated", std::nullopt},
      {"\"a\" { \"b\" \"c\"", std::nullopt},
      {"\"a\" \"b\" }", std::nullopt},
      {"\"a\"", std::nullopt},
      {"{ \"a\" \"b\" }", std::nullopt},
      {"\"a\" { \"b\" }", std::nullopt},
      {"\x7f"
       "ELF\x01\x02",
       std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 60));
    std::optional<KeyValues> parsed = ParseKeyValues(c.text);
    ASSERT_EQ(parsed.has_value(), c.tree.has_value());
    if (parsed) {
      EXPECT_EQ(Dump(*parsed), *c.tree);
    }
  }
  EXPECT_TRUE(ParseKeyValues(Nested(32)));
}

TEST(KeyValues, NamesAreFoundInAnyCaseAndValuesSkipSections) {
  std::optional<KeyValues> parsed = ParseKeyValues(R"("AppState" { "InstallDir" {} "installdir" "FlatOut" })");
  ASSERT_TRUE(parsed);
  const KeyValues* state = parsed->Find("appstate");
  ASSERT_NE(state, nullptr);
  EXPECT_EQ(state->ValueOf("INSTALLDIR"), "FlatOut");
  EXPECT_TRUE(state->Find("installDir")->isSection);
  EXPECT_EQ(state->ValueOf("appid"), std::nullopt);
  EXPECT_EQ(parsed->Find("UserConfig"), nullptr);
}

}  // namespace
