#pragma once
// The languages the installer speaks to the player, and the choice of one for
// a run: a /LANG= switch, else the system's display language, else English.
// The log, standard output and standard error are always in English.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class Message;
// A text of the string tables, by its identifier (support/texts/text_ids.h).
using TextId = unsigned;

enum class Language { English, German, French, Spanish, Italian, Polish, Russian, BrazilianPortuguese, Czech };

struct LanguageInfo {
  Language language;
  const char* code;  // ISO 639-1, with the country where one language has several forms
  TextId name;       // as the log names it in English, and the window in the player's language
  uint16_t id;       // the string tables' language (a LANGID), without windows.h in every text's user
};

const LanguageInfo& InfoOf(Language language);
// Every language, English first.
const LanguageInfo* AllLanguages(size_t& count);
// The language of a /LANG= code, in any case ("de", "PT-br"); nothing for an unknown one.
std::optional<Language> LanguageOfCode(std::string_view code);
// The codes as the usage and a refusal list them: "en, de, fr, ...".
std::string LanguageCodes();
// The language for a system language: the same one, else one of its primary
// language (pt-PT speaks pt-BR), else English.
Language LanguageForSystem(uint16_t id);

struct LanguageChoice {
  Language language = Language::English;
  bool bySwitch = false;  // /LANG= chose it, rather than the system's display language
};
// The run's language: the switch's code where given, else the system's display language.
LanguageChoice ChooseLanguage(const std::optional<Language>& fromSwitch);
// The log's entry that says which language the player was shown.
Message LanguageLogEntry(const LanguageChoice& choice);
