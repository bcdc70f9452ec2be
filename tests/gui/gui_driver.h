#pragma once
// Drives the installer's real window from outside, as a user would: types
// into the folder boxes, clicks, and answers each message box by a script.
// A box the script does not expect is never answered: the run fails with its
// text. Every box met is written, in order, to the transcript.
#include <windows.h>

#include <string>
#include <vector>

#include "support/handles.h"

struct MetBox {
  std::string title;
  std::string text;
  std::string answer;  // "YES", "NO", "OK", or "" when it was not answered
};

// One step of a script, one per line in a script file:
//   type <control> <text>        put text into a folder box
//   click <control>              press a button (cmdInstall, cmdFlatOutGameFolder, ...); it must be enabled
//   accelerator <control>        the window's keyboard shortcut for that button (Alt+M)
//   disabled <control>           the control must be disabled
//   close                        ask the window to close
//   box <ANSWER> <title>|<text>  the next box must read so; answer YES, NO or OK
//   hold <title>|<text>          the next box must read so; leave it open for now
//   answer <ANSWER>              answer the box held last
//   screenshot <file.png>        picture of the main window
//   exit <seconds>               the installer must end within that time
// A text that ends in "*" matches every text that begins with the rest.
struct ScriptStep {
  std::string verb;
  std::string argument;
};
std::vector<ScriptStep> ParseScript(const std::string& text);

class InstallerDriver {
 public:
  // Starts the installer in its own folder, with arguments, and waits for its window.
  InstallerDriver(const std::string& installerExe, DWORD timeoutMs = 60000, const std::string& arguments = "");
  ~InstallerDriver();
  InstallerDriver(const InstallerDriver&) = delete;
  InstallerDriver& operator=(const InstallerDriver&) = delete;

  // Runs the steps; false with Failure() set on the first one that fails.
  bool Run(const std::vector<ScriptStep>& steps);
  const std::string& Failure() const { return failure_; }
  const std::vector<MetBox>& Boxes() const { return boxes_; }
  std::string Transcript() const;
  HWND MainWindow() const { return window_; }
  std::string ControlText(const std::string& control) const;
  bool HasExited() const;
  void SetBoxTimeout(DWORD milliseconds) { boxTimeoutMs_ = milliseconds; }

 private:
  bool Step(const ScriptStep& step);
  HWND Control(const std::string& name) const;
  HWND WaitForNewBox();
  bool ExpectBox(const std::string& pattern, HWND& box);
  void Answer(HWND box, const std::string& answer);

  UniqueHandle process_;
  DWORD processId_ = 0;
  HWND window_ = nullptr;
  std::vector<HWND> held_;
  std::vector<HWND> seen_;
  std::vector<MetBox> boxes_;
  std::string failure_;
  DWORD boxTimeoutMs_ = 600000;
};
