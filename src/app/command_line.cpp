#include "app/command_line.h"

#include <windows.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "support/path_helpers.h"
#include "support/text.h"

Message Usage() { return Message(IDS_USAGE, {LanguageCodes()}); }

namespace {

// The uninstaller's copy gets the id of the process it waits for.
std::optional<unsigned long> ProcessId(const std::string& text) {
  if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  return std::stoul(text);
}

}  // namespace

namespace {

// Blanks separate the switches, except inside double quotes, which are
// dropped. A backslash is a path's backslash, never an escape: /DIR="C:\x\"
// names C:\x\.
std::vector<std::wstring> SplitArguments(const std::wstring& arguments) {
  std::vector<std::wstring> words;
  std::wstring word;
  bool quoted = false, inWord = false;
  for (wchar_t c : arguments) {
    if (c == L'"') {
      quoted = !quoted;
      inWord = true;
    } else if (!quoted && (c == L' ' || c == L'\t')) {
      if (inWord) words.push_back(std::exchange(word, {}));
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord) words.push_back(word);
  return words;
}

// A path Windows can take: no characters it forbids in names, and a colon only after a drive letter.
bool IsPossiblePath(const std::string& path) {
  if (path.empty()) return false;
  for (size_t i = 0; i < path.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(path[i]);
    if (c < 32 || std::string_view("<>\"|?*").find(static_cast<char>(c)) != std::string_view::npos) return false;
    if (c == ':' && i != 1) return false;
  }
  return true;
}

struct Switch {
  std::string name;  // upper case, without the slash
  std::optional<std::string> value;
};

enum class Takes { Nothing, Folder, File };

Takes WhatTakes(const std::string& name) {
  if (name == "GAMEDIR" || name == "DIR") return Takes::Folder;
  if (name == "LOG") return Takes::File;
  return Takes::Nothing;
}

// Applies one switch; what is wrong with it, or nothing.
Message Apply(const Switch& given, CommandLineOptions& options) {
  static const char* const kFlags[] = {"SILENT", "VERYSILENT", "RECREATE", "LOBBY", "PLAY", "?", "HELP", "UNINSTALL"};
  const std::string& name = given.name;
  if (name == "FINISHREMOVAL") {
    options.finishRemovalFor = ProcessId(given.value.value_or(""));
    return options.finishRemovalFor ? Message(std::string()) : Message(IDS_SWITCH_NEEDS_PROCESS);
  }
  if (name == "LANG") {
    options.language = LanguageOfCode(given.value.value_or(""));
    if (options.language) return std::string();
    return Message(IDS_SWITCH_UNKNOWN_LANGUAGE, {given.value.value_or(""), LanguageCodes()});
  }
  bool known =
      WhatTakes(name) != Takes::Nothing || std::find(std::begin(kFlags), std::end(kFlags), name) != std::end(kFlags);
  if (!known) return Message(IDS_SWITCH_UNKNOWN, {name});
  if (WhatTakes(name) == Takes::Nothing) {
    if (given.value) return Message(IDS_SWITCH_NO_VALUE, {name});
    if (name == "SILENT" && options.mode != RunMode::VerySilent) options.mode = RunMode::Silent;
    if (name == "VERYSILENT") options.mode = RunMode::VerySilent;
    if (name == "RECREATE") options.recreate = true;
    if (name == "LOBBY") options.lobby = true;
    if (name == "PLAY") options.play = true;
    if (name == "?" || name == "HELP") options.help = true;
    if (name == "UNINSTALL") options.uninstall = true;
    return std::string();
  }
  bool folder = WhatTakes(name) == Takes::Folder;
  if (!given.value || given.value->empty())
    return Message(folder ? IDS_SWITCH_NEEDS_FOLDER : IDS_SWITCH_NEEDS_FILE, {name});
  // Looking into a device to see whether it holds an earlier log could wait
  // for ever (a serial port): a device's name is refused as it is written.
  if (!folder && NamesADevice(*given.value)) return Message(IDS_SWITCH_LOG_DEVICE, {*given.value});
  // A folder in the system's own form would skip the checks' rules: the
  // window refuses it too.
  bool systemForm = folder && HasSystemPrefix(*given.value);
  if (!IsPossiblePath(*given.value) || systemForm)
    return Message(folder ? IDS_SWITCH_NOT_A_FOLDER : IDS_SWITCH_NOT_A_FILE, {name, *given.value});
  (name == "GAMEDIR" ? options.gameFolder : name == "DIR" ? options.targetFolder : options.logPath) = *given.value;
  return std::string();
}

}  // namespace

std::variant<CommandLineOptions, CommandLineError> ParseCommandLine(const std::wstring& arguments) {
  CommandLineOptions options;
  Message problem = std::string();
  for (const std::wstring& word : SplitArguments(arguments)) {
    std::string text = Narrow(word);
    if (text.size() < 2 || text[0] != '/') {
      if (problem.Empty()) problem = Message(IDS_SWITCH_NOT_A_SWITCH, {text});
      continue;
    }
    size_t equals = text.find('=');
    Switch given{ToUpper(text.substr(1, equals == std::string::npos ? std::string::npos : equals - 1)), std::nullopt};
    if (equals != std::string::npos) given.value = text.substr(equals + 1);
    Message wrong = Apply(given, options);
    if (problem.Empty()) problem = wrong;
  }
  if (!problem.Empty()) return CommandLineError{problem, options.mode != RunMode::Window, options.language};
  return options;
}

std::wstring ProcessArguments() {
  // The program's name comes first, quoted or not; the arguments follow it.
  std::wstring line = GetCommandLineW();
  size_t at = 0;
  if (!line.empty() && line[0] == L'"') {
    size_t close = line.find(L'"', 1);
    at = close == std::wstring::npos ? line.size() : close + 1;
  } else {
    at = line.find_first_of(L" \t");
    if (at == std::wstring::npos) at = line.size();
  }
  return line.substr(at);
}
