// The string tables: every text in every language, with the inserts the code
// fills in, and the choice of a run's language.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>

#include "support/language.h"
#include "support/texts.h"

namespace {

std::set<char> InsertsOf(const std::string& text) {
  std::set<char> inserts;
  for (size_t i = 0; i + 1 < text.size(); ++i)
    if (text[i] == '%' && text[i + 1] >= '1' && text[i + 1] <= '9') inserts.insert(text[i + 1]);
  return inserts;
}

// Names that every language writes as English does.
bool IsName(TextId id) { return id == IDS_TITLE_REPORT; }

TEST(StringTables, EveryTextIsTranslatedWithTheSameInserts) {
  std::vector<TextId> ids = EnglishTextIds();
  ASSERT_GT(ids.size(), 80u);
  size_t count = 0;
  const LanguageInfo* languages = AllLanguages(count);
  for (size_t i = 1; i < count; ++i)
    for (TextId id : ids) {
      std::string english = TableText(Language::English, id), text = TableText(languages[i].language, id);
      SCOPED_TRACE(std::string(languages[i].code) + " " + std::to_string(id) + ": " + english);
      ASSERT_FALSE(text.empty());
      EXPECT_EQ(InsertsOf(text), InsertsOf(english)) << text;
      if (!IsName(id)) {
        EXPECT_NE(text, english);
      }
      EXPECT_EQ(text.find("\n") == std::string::npos, english.find("\n") == std::string::npos) << text;
    }
}

TEST(StringTables, InsertsAreFilledOnceAndInAnyOrder) {
  struct Case {
    std::string pattern;
    std::vector<std::string> inserts;
    std::string expected;
  };
  const Case cases[] = {
      {"%2 of %1", {"a", "b"}, "b of a"},
      {"100% done, %1%", {"5"}, "100% done, 5%"},  // a % without a number stays
      {"%1 and %1", {"x"}, "x and x"},
      {"[%1]", {"%2 stays %1"}, "[%2 stays %1]"},  // an insert is never read again
      {"%3 has none", {"a"}, "%3 has none"},
      {"ends in %", {"a"}, "ends in %"},
  };
  for (const Case& c : cases) EXPECT_EQ(FillInserts(c.pattern, c.inserts), c.expected) << c.pattern;
  // A message and its inserts are shown together in one language.
  Message message(IDS_CANNOT_EMPTY, {Message(IDS_IN_USE, {"C:\\x"})});
  EXPECT_EQ(message.English(),
            "The ZEM7 Game Folder cannot be emptied: \"C:\\x\" is in use by another program.\r\n"
            "Please close that program (is the game running?) and try again.");
  EXPECT_EQ(message.In(Language::German).substr(0, 46), "Der ZEM7-Spielordner kann nicht geleert werden");
  EXPECT_EQ(Message::Lines({IDS_INSTALLED, std::string(), "x."}).WithoutFullStop().English(),
            "The FlatOut ZEM7 Mod is now successfully installed.\r\nx");
  // Punctuation around inserts: the inserts follow the language, a path's own %1 stays.
  Message pattern = Message::Pattern("%1 (\"%2\")", {IDS_LEFT_NOTHING, "C:\\100%1"});
  EXPECT_EQ(pattern.English(), "nothing (\"C:\\100%1\")");
  EXPECT_EQ(pattern.In(Language::German), "nichts (\"C:\\100%1\")");
}

TEST(Languages, ComeFromTheSwitchOrTheSystemWithEnglishLast) {
  struct Case {
    LANGID system;
    Language expected;
  };
  const Case cases[] = {
      {MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN_AUSTRIAN), Language::German},
      {MAKELANGID(LANG_PORTUGUESE, SUBLANG_PORTUGUESE), Language::BrazilianPortuguese},
      {MAKELANGID(LANG_PORTUGUESE, SUBLANG_PORTUGUESE_BRAZILIAN), Language::BrazilianPortuguese},
      {MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH_CANADIAN), Language::French},
      {MAKELANGID(LANG_CZECH, SUBLANG_DEFAULT), Language::Czech},
      {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_UK), Language::English},
      {MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT), Language::English},
  };
  for (const Case& c : cases) EXPECT_EQ(LanguageForSystem(c.system), c.expected) << c.system;
  EXPECT_EQ(LanguageOfCode("PT-br"), Language::BrazilianPortuguese);
  EXPECT_EQ(LanguageOfCode("ru"), Language::Russian);
  EXPECT_EQ(LanguageOfCode("pt"), std::nullopt);
  EXPECT_EQ(LanguageOfCode(""), std::nullopt);
  EXPECT_EQ(LanguageCodes(), "en, de, fr, es, it, pl, ru, pt-BR, cs");
  EXPECT_EQ(LanguageLogEntry(ChooseLanguage(Language::Czech)).English(), "Language shown: Czech (cs), as /LANG asked.");
}

}  // namespace
