#pragma once
// The installer's switches, in the form scripts know from the common Windows
// installer builders: /NAME or /NAME=value, the value optionally in double
// quotes, case-insensitive, in any order.
#include <optional>
#include <string>
#include <variant>

#include "support/language.h"
#include "support/texts.h"

enum class RunMode {
  Window,      // no silent switch: the switches only fill the window's boxes
  Silent,      // the window shows the progress; no question is asked
  VerySilent,  // no window at all
};

struct CommandLineOptions {
  RunMode mode = RunMode::Window;
  std::optional<std::string> gameFolder;    // /GAMEDIR=
  std::optional<std::string> targetFolder;  // /DIR=
  std::optional<std::string> logPath;       // /LOG=
  std::optional<Language> language;         // /LANG=: the window's and the boxes' language
  bool recreate = false;                    // /RECREATE: a target that holds files may be emptied
  bool lobby = false;                       // /LOBBY: Yes to installing the lobby
  bool play = false;                        // /PLAY: Yes to starting the game
  bool help = false;                        // /? or /HELP
  bool uninstall = false;                   // /UNINSTALL: remove the installation in /DIR= or the program's folder
  std::optional<unsigned long> finishRemovalFor;  // /FINISHREMOVAL=<id>: the uninstaller's copy, ending its removal
};

// What is wrong with a command line, and whether it asked to run unattended
// (so that the answer goes to the console rather than into a box), and the
// language a box then speaks, where /LANG= named one rightly.
struct CommandLineError {
  Message text;
  bool unattended = false;
  std::optional<Language> language;
};

// Parses the arguments after the program's name.
std::variant<CommandLineOptions, CommandLineError> ParseCommandLine(const std::wstring& arguments);
// The arguments of this process's own command line, without the program's name.
std::wstring ProcessArguments();

// The switches and the exit codes, as /? shows them.
Message Usage();
