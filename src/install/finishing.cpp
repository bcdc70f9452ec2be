#include <windows.h>

#include "fileops/batch_delete.h"
#include "fileops/safe_file_ops.h"
#include "install/install_steps.h"
#include "registry/registry.h"
#include "support/error_report.h"
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
constexpr const char* kWorkFiles[] = {"bfs_format.obj", "makebfs.exe", "in.txt",     "cout.txt",
                                      "mfc42.dll",      "msvcp60.dll", "msvcrt.dll", "zlib.dll",
                                      "zlib1.dll",      "filler76k",   "unrar.exe",  "bfsunpack.exe"};

bool AskYes(RunContext& run, const std::string& question) {
  return run.ui.ShowMessage(question, kFinalTitle, kQuestionStyle) == IDYES;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace

void CreateShortcuts(RunContext& run) {
  Trap(run.reporter, "modZEM7::CreateShortcuts", [&] {
    run.log.Write("Creating shortcuts.");
    const std::string game = run.plan.zem7Folder + "FlatOut.exe";
    std::string programs = FormatPath(ReadRegistryString(kCommonPrograms));
    SafeCreateFolder(run, programs + "Torvale");
    std::string menuFolder = programs + "Torvale" + "\\FlatOut - ZEM7\\";
    SafeCreateFolder(run, menuFolder);
    SaveShortcut(menuFolder + "FlatOut.lnk", game);
    std::string desktop = FormatPath(ReadRegistryString(kCommonDesktop));
    SaveShortcut(desktop + "FlatOut.lnk", game);
  });
}

void CleanUp(RunContext& run) {
  Trap(run.reporter, "modZEM7::CleanUp", [&] {
    run.log.Write("Cleaning up installation files.");
    BatchDeleteFolder(run, run.plan.zem7Folder + "datafull");
    for (const char* file : kWorkFiles) SafeDeleteFile(run, run.plan.zem7Folder + file, true);
  });
}

void FinalMessage(RunContext& run) {
  Trap(run.reporter, "modZEM7::FinalMessage", [&] {
    run.log.Write("Finished installing the ZEM7 mod.");
    run.ui.SetMousePointer(MousePointer::Default);
    if (AskYes(run,
               "The FlatOut ZEM7 Mod is now successfully installed.\r\n"
               "Would you like to install the Velnor v2 Multiplayer Lobby system?")) {
      // Quoted: the installer's folder may hold blanks.
      std::string message;
      ShellAndWaitForTermination(run, Quoted(run.plan.installerFolder + "\\Velnor2Setup.exe"), kWindowNormal, message,
                                 kNoTimeLimitMs);
    }
    if (AskYes(run, "Would you like to play the FlatOut ZEM7 mod now?")) {
      ChangeToZEM7GameFolder(run);
      StartProgram(Quoted(run.plan.zem7Folder + "Flatout.exe"), kWindowMinimized);
    }
    run.ui.Unload();
  });
}
