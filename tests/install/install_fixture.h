#pragma once
// A fake game, distribution and target folder for running installation steps.
#include <windows.h>

#include <string>

#include "common/scripted_ui.h"
#include "common/temp_folder.h"
#include "fixture.h"
#include "support/run_context.h"
#include "support/text.h"

// The stand-ins were built on Linux; Wine sees that folder on drive Z:.
inline std::string StandInFolder() {
  std::string folder = ZEM7_STAND_IN_DIR;
  return folder.starts_with("/") ? "Z:" + folder : folder;
}

class InstallFixture {
 public:
  explicit InstallFixture(std::vector<std::string> omit = {}) {
    FixtureOptions options;
    options.gameFolder = root / "Games\\FlatOut";
    options.distributionFolder = root / "Mod Download";
    options.size = 300 * 1024;
    options.standInFolder = StandInFolder();
    options.omit = std::move(omit);
    BuildFixture(options);
    run = NewRun(ui, options.distributionFolder);
    run->plan.gameFolder = options.gameFolder + "\\";
    run->plan.zem7Folder = root / "Games\\FlatOut - ZEM7\\";
  }
  ~InstallFixture() {
    // The steps leave the target as the current folder; it must not keep the tree alive.
    SetCurrentDirectoryW(Widen(root.Path()).c_str());
  }
  std::string Game() const { return run->plan.gameFolder; }
  std::string Target() const { return run->plan.zem7Folder; }
  std::vector<std::string> Log() const { return LogTexts(LogPath()); }
  std::string LogPath() const { return run->plan.installerFolder + "\\ZEM7InstallLog.txt"; }

  TempFolder root{"zem7 pipeline"};
  ScriptedUi ui;
  std::unique_ptr<RunContext> run;
};

// Counts the log lines that start with prefix between the line `from` and the next line starting with `until`.
inline int CountBetween(const std::vector<std::string>& log, const std::string& from, const std::string& until,
                        const std::string& prefix) {
  int count = 0;
  bool inside = false;
  for (const std::string& line : log) {
    if (line == from) {
      inside = true;
      continue;
    }
    if (inside && !until.empty() && line.starts_with(until)) break;
    if (inside && line.starts_with(prefix)) ++count;
  }
  return count;
}
