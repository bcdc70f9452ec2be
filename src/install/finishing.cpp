#include <windows.h>

#include "fileops/batch_delete.h"
#include "fileops/safe_file_ops.h"
#include "install/install_steps.h"
#include "registry/registry.h"
#include "support/error_report.h"
#include "support/installer_state.h"
#include "support/path_helpers.h"
#include "support/process_runner.h"
#include "support/program_start.h"
#include "support/progress_log.h"
#include "support/shell_link.h"

namespace {

constexpr const char* kCommonPrograms =
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders\\Common Programs";
constexpr const char* kCommonDesktop =
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders\\Common Desktop";
constexpr const char* kFinalTitle = "ZEM7 Installation";
constexpr unsigned kQuestionStyle = MB_YESNO | MB_ICONQUESTION;

// The tools, their libraries and their work files; the game copy, the mod's
// files and the patch archives stay.
constexpr const char* kWorkFiles[] = {"bfs_format.obj", "makebfs.exe", "in.txt",    "cout.txt",
                                      "mfc42.dll",      "msvcp60.dll", "msvcrt.dll", "zlib.dll",
                                      "zlib1.dll",      "filler76k",   "unrar.exe",  "bfsunpack.exe"};

bool AskYes(const std::string& question) {
  return UI().ShowMessage(question, kFinalTitle, kQuestionStyle) == IDYES;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace

void CreateShortcuts() {
  Trap("modZEM7::CreateShortcuts", [] {
    ProgressLog("Creating shortcuts.");
    const std::string game = State().ZEM7GameFolder + "FlatOut.exe";
    std::string programs = FormatPath(ReadRegistryString(kCommonPrograms));
    SafeCreateFolder(programs + "Torvale");
    std::string menuFolder = programs + "Torvale" + "\\FlatOut - ZEM7\\";
    SafeCreateFolder(menuFolder);
    SaveShortcut(menuFolder + "FlatOut.lnk", game);
    std::string desktop = FormatPath(ReadRegistryString(kCommonDesktop));
    SaveShortcut(desktop + "FlatOut.lnk", game);
  });
}

void CleanUp() {
  Trap("modZEM7::CleanUp", [] {
    ProgressLog("Cleaning up installation files.");
    BatchDeleteFolder(State().ZEM7GameFolder + "datafull");
    for (const char* file : kWorkFiles) SafeDeleteFile(State().ZEM7GameFolder + file, true);
  });
}

void FinalMessage() {
  Trap("modZEM7::FinalMessage", [] {
    ProgressLog("Finished installing the ZEM7 mod.");
    UI().SetMousePointer(MousePointer::Default);
    if (AskYes("The FlatOut ZEM7 Mod is now successfully installed.\r\n"
               "Would you like to install the Velnor v2 Multiplayer Lobby system?")) {
      // Quoted: the installer's folder may hold blanks.
      std::string message;
      ShellAndWaitForTermination(Quoted(State().InstallerFolder + "\\Velnor2Setup.exe"), kWindowNormal, message,
                                 kNoTimeLimitMs);
    }
    if (AskYes("Would you like to play the FlatOut ZEM7 mod now?")) {
      ChangeToZEM7GameFolder();
      StartProgram(Quoted(State().ZEM7GameFolder + "Flatout.exe"), kWindowMinimized);
    }
    UI().Unload();
  });
}
