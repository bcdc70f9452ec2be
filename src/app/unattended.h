#pragma once
// An installation without a person: the same start-up, checks, steps and log
// as a clicked one, with every question answered from the command line and
// every box written to the console instead of shown.
#include <string>
#include <utility>
#include <vector>

#include "app/command_line.h"
#include "support/user_interface.h"

class UnattendedUserInterface : public UserInterface {
 public:
  // window: the main window's interface. It shows the progress under /SILENT;
  // under /VERYSILENT the window stays hidden and only its messages are pumped,
  // so that a polite request to end (WM_CLOSE) reaches the run.
  UnattendedUserInterface(const CommandLineOptions& options, UserInterface& window)
      : options_(options), window_(window), display_(options.mode == RunMode::Silent ? &window : nullptr) {}

  // Reports and refusals go to standard error; nothing waits for an OK.
  // Both in English: a script reads them, and the log keeps the refusals.
  int ShowMessage(const Message& text, TextId title, unsigned style) override;
  int Ask(Question question, const Message& text, TextId title, unsigned style) override;
  void SetMousePointer(MousePointer pointer) override;
  void ShowProgress(int entryCount, int scale, const std::string& percentText) override;
  // Each entry also goes to standard output as it happens.
  void PrependProgressText(const std::string& stamp, const Message& text) override;
  void EnableInput(bool enabled) override;
  void PumpMessages() override;
  // A tool past a minute is named on standard output, once a minute.
  void ShowToolActivity(const std::string& tool, unsigned elapsedSeconds) override;
  void BeginInstallation() override;
  void EndInstallation() override;
  void Unload() override;

  // The checks' refusals since the last call, for the log.
  std::vector<Message> TakeRefusals() { return std::exchange(refusals_, {}); }

 private:
  const CommandLineOptions& options_;
  UserInterface& window_;
  UserInterface* display_;
  std::vector<Message> refusals_;
  unsigned minutesTold_ = 0;
};

// Runs one installation as the options say; the result is the exit code.
int RunUnattended(const CommandLineOptions& options);
