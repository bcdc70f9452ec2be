#pragma once
// What one run of the installer works with, handed to every step instead of
// being reached through globals: the plan (which folders), the user
// interface, the log, the reporter and the settings of the external tools.
//
// Start-up builds one context for the life of the program; the window's
// install command fills in the two folders; tests build their own.
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

#include "support/desktop_shell.h"
#include "support/error_report.h"
#include "support/handles.h"
#include "support/language.h"
#include "support/platform.h"
#include "support/progress_log.h"
#include "support/user_interface.h"

struct InstallPlan {
  std::string gameFolder;       // the FlatOut game folder: trimmed, ends in a backslash
  std::string zem7Folder;       // the target folder: trimmed, ends in a backslash
  std::string installerFolder;  // the installer's folder, no trailing backslash
  std::string logPath;

  // A plan whose log lies beside the installer, as "ZEM7InstallLog.txt".
  static InstallPlan ForInstallerFolder(const std::string& installerFolder);
};

struct ToolSettings {
  // How long to wait for the packer's "finished.txt" once it has ended.
  uint32_t finishMarkerWaitMs = 120000;
  // How often the packer's marker is looked for while its folder is watched,
  // for a drive that tells of no new names: with the watch it is seen at once.
  uint32_t markerPollMs = 100;
  // The job object the external tools run in, made with the first of them:
  // when the installer ends, however it ends, the system ends them too.
  UniqueHandle job;
};

// How "play now" starts the game. From an elevated installer the game would
// run elevated too, and write its saves where the player's own starts never
// look: the desktop's shell then starts it as the signed-in player. Tests put
// stand-ins here.
struct GameStarter {
  std::function<bool()> elevatedAboveThePlayer = ElevatedAboveThePlayer;
  std::function<bool(const std::string& program, const std::string& folder, int windowStyle)> throughShell =
      StartThroughDesktopShell;
};

// What a run made beyond the files in the target, for the installation's record.
struct InstallationFacts {
  std::vector<std::string> shortcuts;  // full paths of the shortcuts made
  // The names that share a file because this run linked them (NameKey):
  // some network servers say every file has one name.
  std::unordered_set<uint64_t> linkedTrackNames;
};

class RunContext {
 public:
  RunContext(UserInterface& userInterface, InstallPlan installPlan)
      : plan(std::move(installPlan)),
        ui(userInterface),
        log(userInterface, plan.logPath),
        reporter(log, userInterface) {}
  RunContext(const RunContext&) = delete;
  RunContext& operator=(const RunContext&) = delete;

  InstallPlan plan;
  UserInterface& ui;
  ProgressLog log;  // writes to plan.logPath as it was when the context was made
  ErrorReporter reporter;
  ToolSettings tools;
  GameStarter gameStarter;
  InstallationFacts facts;
  // The language the window and the boxes show; the log says which.
  LanguageChoice language;
  // The new tracks' files as second names of their groups' where the volume
  // allows; off, they are copied, as on a volume without links.
  bool linkTrackFiles = true;
  bool installing = false;  // an installation is running; the window must not start or close another
  // From the go-ahead to the end of the clean-up a close asks whether to stop;
  // a Yes is honoured at the next safe point.
  bool stoppable = false;
  bool stopRequested = false;
};

// Thrown at the next safe point once a stop was asked for. A stop is not an
// error: being no std::exception, it passes every trap up to the driver.
struct InstallationStopped {};

inline void StopIfRequested(const RunContext& run) {
  if (run.stopRequested) throw InstallationStopped{};
}

// Marks the run as installing, with the input that could start another one
// or change its folders disabled, for the guard's lifetime, however it ends.
class InstallingScope {
 public:
  explicit InstallingScope(RunContext& run) : run_(run) {
    run_.installing = true;
    run_.ui.EnableInput(false);
  }
  ~InstallingScope() {
    run_.installing = false;
    run_.ui.EnableInput(true);
  }
  InstallingScope(const InstallingScope&) = delete;
  InstallingScope& operator=(const InstallingScope&) = delete;

 private:
  RunContext& run_;
};
