#include <windows.h>

#include <optional>

#include "fileops/folder_delete.h"
#include "fileops/file_system.h"
#include "fileops/folder_identity.h"
#include "fileops/safe_file_ops.h"
#include "install/install_steps.h"
#include "registry/registry.h"
#include "support/error_report.h"
#include "support/keep_alive.h"
#include "support/path_helpers.h"
#include "support/process_runner.h"
#include "support/program_start.h"
#include "support/progress_log.h"
#include "support/shell_link.h"
#include "support/text.h"

namespace {

constexpr const char* kCommonPrograms =
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders\\Common Programs";
constexpr const char* kCommonDesktop =
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders\\Common Desktop";
constexpr TextId kFinalTitle = IDS_TITLE_INSTALLATION;

// The tools, their libraries and their work files; the game copy, the mod's
// files and the patch archives stay.
constexpr const char* kWorkFiles[] = {"bfs_format.obj", "makebfs.exe",   "in.txt",       "cout.txt",  "mfc42.dll",
                                      "msvcp60.dll",    "msvcrt.dll",    "zlib.dll",     "zlib1.dll", "filler76k",
                                      "unrar.exe",      "bfsunpack.exe", "br549temp.bfs"};

bool AskYes(RunContext& run, Question question, const Message& text, unsigned icon = MB_ICONQUESTION) {
  return run.ui.Ask(question, text, kFinalTitle, MB_YESNO | icon) == IDYES;
}

// Whether the shortcut starts a game other than the one in folder: the
// player's own (most likely to the original game), or another
// installation's, whose removal would otherwise take this one's. One that
// leads nowhere any more starts nothing.
bool StartsAnotherGame(const std::string& shortcut, const std::string& folder) {
  if (!FileSystem::FileExists(shortcut) || ShortcutLeadsInto(shortcut, folder)) return false;
  return FileSystem::FileExists(ReadShortcutTarget(shortcut));
}

// The first of the names that no other game holds; "" when every one is taken.
std::string FreeShortcutPath(RunContext& run, const std::vector<std::string>& names, TextId nameTaken) {
  for (const std::string& name : names) {
    if (StartsAnotherGame(name, run.plan.zem7Folder)) continue;
    if (name != names.front()) run.log.Write({nameTaken, {name}});
    return name;
  }
  run.log.Write({IDS_LOG_KEEPING_SHORTCUT, {names.back()}});
  return {};
}

// A name of the folder's own, for a shortcut beside another installation's.
std::string FolderName(const std::string& folder) {
  std::string trimmed = folder.substr(0, folder.size() - 1);
  return trimmed.substr(trimmed.find_last_of('\\') + 1);
}

// The first question says how the installation went: the log holds the details of every error.
Message LobbyQuestion(RunContext& run, int errors) {
  Message outcome = IDS_INSTALLED;
  if (errors > 0) {
    std::string logName = run.log.Path().substr(run.log.Path().find_last_of('\\') + 1);
    outcome = Message(IDS_INSTALLED_WITH_ERRORS, {std::to_string(errors), logName});
  }
  return Message::Lines({outcome, IDS_ASK_LOBBY});
}

// Where the desktop's shell cannot start it (none runs), or the installer
// has no more rights than the player, the game is started directly, as the
// installer's child. The shell says nothing of a game it cannot start: a
// missing one is told here.
void StartGame(RunContext& run) {
  const std::string game = run.plan.zem7Folder + "Flatout.exe";
  if (!FileSystem::FileExists(game)) ThrowWin32Error(ERROR_FILE_NOT_FOUND);
  if (run.gameStarter.elevatedAboveThePlayer() &&
      run.gameStarter.throughShell(game, run.plan.zem7Folder, kWindowMinimized)) {
    // The shell only accepts the request: whether the game then starts is its own to tell.
    run.log.Write({IDS_LOG_ASKED_DESKTOP, {game}});
    return;
  }
  run.log.Write({IDS_LOG_STARTING_GAME, {game}});
  ChangeToZEM7GameFolder(run);
  StartProgram(Quoted(game), kWindowMinimized);
}

}  // namespace

bool ShortcutLeadsInto(const std::string& shortcut, const std::string& folder) {
  std::string target = ReadShortcutTarget(shortcut);
  if (target.empty()) return false;
  std::optional<FileSystem::FolderId> id = FileSystem::IdentityOf(folder);
  return id ? FileSystem::IsSameOrInside(target, *id) : ToUpper(target).starts_with(ToUpper(folder));
}

void CreateShortcuts(RunContext& run) {
  Trap(run.reporter, "modZEM7::CreateShortcuts", [&] {
    run.log.Write(IDS_LOG_CREATING_SHORTCUTS);
    const std::string game = run.plan.zem7Folder + "FlatOut.exe";
    std::string programs = FormatPath(ReadRegistryString(kCommonPrograms));
    SafeCreateFolder(run, programs + "Torvale");
    std::string menuFolder = programs + "Torvale" + "\\FlatOut - ZEM7\\";
    SafeCreateFolder(run, menuFolder);
    std::string own = " (" + FolderName(run.plan.zem7Folder) + ").lnk";
    std::string inMenu =
        FreeShortcutPath(run, {menuFolder + "FlatOut.lnk", menuFolder + "FlatOut" + own}, IDS_LOG_MENU_NAME_TAKEN);
    std::string desktop = FormatPath(ReadRegistryString(kCommonDesktop));
    std::string onDesktop = FreeShortcutPath(
        run, {desktop + "FlatOut.lnk", desktop + "FlatOut - ZEM7.lnk", desktop + "FlatOut - ZEM7" + own},
        IDS_LOG_DESKTOP_NAME_TAKEN);
    for (const std::string& shortcut : {inMenu, onDesktop}) {
      if (shortcut.empty()) continue;
      // The game is started from its own folder, as the last step does.
      SaveShortcut(shortcut, game, run.plan.zem7Folder);
      run.facts.shortcuts.push_back(shortcut);
    }
  });
}

void CleanUp(RunContext& run) {
  Trap(run.reporter, "modZEM7::CleanUp", [&] {
    run.log.Write(IDS_LOG_CLEANING_UP);
    DeleteWholeFolder(run.plan.zem7Folder + "datafull", KeepAlive(run));
    for (const char* file : kWorkFiles) SafeDeleteFile(run, run.plan.zem7Folder + file, true);
  });
}

void FinalMessage(RunContext& run) {
  Trap(run.reporter, "modZEM7::FinalMessage", [&] {
    int errors = run.reporter.Count();
    if (errors > 0) run.log.Write({IDS_LOG_ERRORS_REPORTED, {std::to_string(errors)}});
    run.log.Write(IDS_LOG_FINISHED);
    run.ui.SetMousePointer(MousePointer::Default);
    if (AskYes(run, Question::InstallLobby, LobbyQuestion(run, errors),
               errors > 0 ? MB_ICONWARNING : MB_ICONQUESTION)) {
      // Quoted: the installer's folder may hold blanks.
      std::string message;
      ShellAndWaitForTermination(run, Quoted(run.plan.installerFolder + "\\Velnor2Setup.exe"), kWindowNormal, message,
                                 kNoTimeLimitMs, Lifetime::OwnProgram);
    }
    if (AskYes(run, Question::PlayNow, IDS_ASK_PLAY)) StartGame(run);
    run.ui.Unload();
  });
}
