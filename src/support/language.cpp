#include "support/language.h"

#include <iterator>

#include "support/text.h"

namespace {

constexpr LanguageInfo kLanguages[] = {
    {Language::English, "en", "English", MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)},
    {Language::German, "de", "German", MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN)},
    {Language::French, "fr", "French", MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH)},
    {Language::Spanish, "es", "Spanish", MAKELANGID(LANG_SPANISH, SUBLANG_SPANISH_MODERN)},
    {Language::Italian, "it", "Italian", MAKELANGID(LANG_ITALIAN, SUBLANG_ITALIAN)},
    {Language::Polish, "pl", "Polish", MAKELANGID(LANG_POLISH, SUBLANG_DEFAULT)},
    {Language::Russian, "ru", "Russian", MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT)},
    {Language::BrazilianPortuguese, "pt-BR", "Brazilian Portuguese",
     MAKELANGID(LANG_PORTUGUESE, SUBLANG_PORTUGUESE_BRAZILIAN)},
    {Language::Czech, "cs", "Czech", MAKELANGID(LANG_CZECH, SUBLANG_DEFAULT)},
};

}  // namespace

const LanguageInfo& InfoOf(Language language) {
  for (const LanguageInfo& info : kLanguages)
    if (info.language == language) return info;
  return kLanguages[0];
}

const LanguageInfo* AllLanguages(size_t& count) {
  count = std::size(kLanguages);
  return kLanguages;
}

std::optional<Language> LanguageOfCode(std::string_view code) {
  for (const LanguageInfo& info : kLanguages)
    if (EqualsIgnoreCase(std::string(code), info.code)) return info.language;
  return std::nullopt;
}

std::string LanguageCodes() {
  std::string codes;
  for (const LanguageInfo& info : kLanguages) codes += (codes.empty() ? "" : ", ") + std::string(info.code);
  return codes;
}

Language LanguageForSystem(LANGID id) {
  for (const LanguageInfo& info : kLanguages)
    if (info.id == id) return info.language;
  for (const LanguageInfo& info : kLanguages)
    if (PRIMARYLANGID(info.id) == PRIMARYLANGID(id)) return info.language;
  return Language::English;
}

LanguageChoice ChooseLanguage(const std::optional<Language>& fromSwitch) {
  if (fromSwitch) return {*fromSwitch, true};
  return {LanguageForSystem(GetUserDefaultUILanguage()), false};
}

std::string LanguageLogEntry(const LanguageChoice& choice) {
  const LanguageInfo& info = InfoOf(choice.language);
  return std::string("Language shown: ") + info.name + " (" + info.code + "), " +
         (choice.bySwitch ? "as /LANG asked." : "from the system's display language.");
}
