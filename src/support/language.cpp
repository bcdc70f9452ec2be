#include "support/language.h"

#include <windows.h>

#include <iterator>

#include "support/text.h"
#include "support/texts.h"

namespace {

constexpr LanguageInfo kLanguages[] = {
    {Language::English, "en", IDS_LANGUAGE_ENGLISH, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)},
    {Language::German, "de", IDS_LANGUAGE_GERMAN, MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN)},
    {Language::French, "fr", IDS_LANGUAGE_FRENCH, MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH)},
    {Language::Spanish, "es", IDS_LANGUAGE_SPANISH, MAKELANGID(LANG_SPANISH, SUBLANG_SPANISH_MODERN)},
    {Language::Italian, "it", IDS_LANGUAGE_ITALIAN, MAKELANGID(LANG_ITALIAN, SUBLANG_ITALIAN)},
    {Language::Polish, "pl", IDS_LANGUAGE_POLISH, MAKELANGID(LANG_POLISH, SUBLANG_DEFAULT)},
    {Language::Russian, "ru", IDS_LANGUAGE_RUSSIAN, MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT)},
    {Language::BrazilianPortuguese, "pt-BR", IDS_LANGUAGE_BRAZILIAN_PORTUGUESE,
     MAKELANGID(LANG_PORTUGUESE, SUBLANG_PORTUGUESE_BRAZILIAN)},
    {Language::Czech, "cs", IDS_LANGUAGE_CZECH, MAKELANGID(LANG_CZECH, SUBLANG_DEFAULT)},
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

Language LanguageForSystem(uint16_t id) {
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

Message LanguageLogEntry(const LanguageChoice& choice) {
  const LanguageInfo& info = InfoOf(choice.language);
  return Message(choice.bySwitch ? IDS_LOG_LANGUAGE_BY_SWITCH : IDS_LOG_LANGUAGE_BY_SYSTEM,
                 {Message(info.name), std::string(info.code)});
}
