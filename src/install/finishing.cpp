#include <windows.h>

#include "fileops/folder_delete.h"
#include "fileops/file_system.h"
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
constexpr const char* kFinalTitle = "ZEM7 Installation";

// The tools, their libraries and their work files; the game copy, the mod's
// files and the patch archives stay.
constexpr const char* kWorkFiles[] = {"bfs_format.obj", "makebfs.exe",   "in.txt",       "cout.txt",  "mfc42.dll",
                                      "msvcp60.dll",    "msvcrt.dll",    "zlib.dll",     "zlib1.dll", "filler76k",
                                      "unrar.exe",      "bfsunpack.exe", "br549temp.bfs"};

bool AskYes(RunContext& run, Question question, const std::string& text, unsigned icon = MB_ICONQUESTION) {
  return run.ui.Ask(question, text, kFinalTitle, MB_YESNO | icon) == IDYES;
}

// The player's own "FlatOut.lnk" on the desktop (most likely to the original
// game) is kept: the mod's shortcut then gets a name of its own.
std::string DesktopShortcutPath(RunContext& run, const std::string& desktop, const std::string& game) {
  std::string usual = desktop + "FlatOut.lnk";
  if (!FileSystem::FileExists(usual) || EqualsIgnoreCase(ReadShortcutTarget(usual), game)) return usual;
  std::string own = desktop + "FlatOut - ZEM7.lnk";
  run.log.Write("The desktop already holds a FlatOut.lnk of another game; the shortcut is saved as: " + own);
  return own;
}

// The first question says how the installation went: the log holds the details of every error.
std::string LobbyQuestion(RunContext& run, int errors) {
  std::string outcome = "The FlatOut ZEM7 Mod is now successfully installed.";
  if (errors > 0) {
    std::string logName = run.log.Path().substr(run.log.Path().find_last_of('\\') + 1);
    outcome = "The installation of the FlatOut ZEM7 Mod finished with " + std::to_string(errors) +
              " error(s); please read " + logName + ".";
  }
  return outcome + "\r\nWould you like to install the Velnor v2 Multiplayer Lobby system?";
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
    run.log.Write("Starting the game as the signed-in player: " + game);
    return;
  }
  run.log.Write("Starting the game: " + game);
  ChangeToZEM7GameFolder(run);
  StartProgram(Quoted(game), kWindowMinimized);
}

}  // namespace

void CreateShortcuts(RunContext& run) {
  Trap(run.reporter, "modZEM7::CreateShortcuts", [&] {
    run.log.Write("Creating shortcuts.");
    const std::string game = run.plan.zem7Folder + "FlatOut.exe";
    std::string programs = FormatPath(ReadRegistryString(kCommonPrograms));
    SafeCreateFolder(run, programs + "Torvale");
    std::string menuFolder = programs + "Torvale" + "\\FlatOut - ZEM7\\";
    SafeCreateFolder(run, menuFolder);
    // The game is started from its own folder, as the last step does.
    SaveShortcut(menuFolder + "FlatOut.lnk", game, run.plan.zem7Folder);
    run.facts.shortcuts.push_back(menuFolder + "FlatOut.lnk");
    std::string desktop = FormatPath(ReadRegistryString(kCommonDesktop));
    std::string onDesktop = DesktopShortcutPath(run, desktop, game);
    SaveShortcut(onDesktop, game, run.plan.zem7Folder);
    run.facts.shortcuts.push_back(onDesktop);
  });
}

void CleanUp(RunContext& run) {
  Trap(run.reporter, "modZEM7::CleanUp", [&] {
    run.log.Write("Cleaning up installation files.");
    DeleteWholeFolder(run.plan.zem7Folder + "datafull", KeepAlive(run));
    for (const char* file : kWorkFiles) SafeDeleteFile(run, run.plan.zem7Folder + file, true);
  });
}

void FinalMessage(RunContext& run) {
  Trap(run.reporter, "modZEM7::FinalMessage", [&] {
    int errors = run.reporter.Count();
    if (errors > 0) run.log.Write(std::to_string(errors) + " error(s) were reported during the installation.");
    run.log.Write("Finished installing the ZEM7 mod.");
    run.ui.SetMousePointer(MousePointer::Default);
    if (AskYes(run, Question::InstallLobby, LobbyQuestion(run, errors),
               errors > 0 ? MB_ICONWARNING : MB_ICONQUESTION)) {
      // Quoted: the installer's folder may hold blanks.
      std::string message;
      ShellAndWaitForTermination(run, Quoted(run.plan.installerFolder + "\\Velnor2Setup.exe"), kWindowNormal, message,
                                 kNoTimeLimitMs, Lifetime::OwnProgram);
    }
    if (AskYes(run, Question::PlayNow, "Would you like to play the FlatOut ZEM7 mod now?")) StartGame(run);
    run.ui.Unload();
  });
}
