#pragma once
// A user interface for tests: it records what would have been shown and
// answers message boxes from a script. A box the script does not expect
// fails the test with its text.
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/run_context.h"
#include "support/user_interface.h"
#include "window/window_commands.h"

struct MessageRecord {
  std::string text;  // English, as the log and the console have it
  std::string title;
  unsigned style;
  std::string shown;  // as the box shows it, in the interface's language
};

// A fresh run for one test: this interface, and the log written into installerFolder.
std::unique_ptr<RunContext> NewRun(UserInterface& ui, const std::string& installerFolder);

class ScriptedUi : public UserInterface {
 public:
  // Queues the answer (IDOK, IDYES, IDNO) for the next box that is not
  // already answered by AnswerAllWithOk.
  void Answer(int answer) { answers_.push_back(answer); }
  // Every box with only an OK button (error reports) is answered OK.
  void AnswerAllWithOk() { answerAllWithOk_ = true; }

  // Records the English, and the text in language.
  int ShowMessage(const Message& text, TextId title, unsigned style) override;
  void SetMousePointer(MousePointer pointer) override;
  void ShowProgress(int entryCount, int scale, const std::string& percentText) override;
  void PrependProgressText(const std::string& stamp, const Message& text) override;
  void EnableInput(bool enabled) override { inputEnabled = enabled; }
  // Counts, then runs onPump: what the user might do while work is under way.
  void PumpMessages() override;
  void Unload() override { unloaded = true; }
  void ShowToolActivity(const std::string& tool, unsigned elapsedSeconds) override {
    toolActivity.emplace_back(tool, elapsedSeconds);
  }

  Language language = Language::English;  // the player's, for what a box shows
  std::vector<MessageRecord> messages;
  std::vector<MousePointer> pointers;
  std::string progressText;
  std::string percentText;
  int barEntries = 0;
  int barScale = 0;
  int pumps = 0;
  bool unloaded = false;
  bool inputEnabled = true;
  std::function<void()> onPump;
  std::vector<std::pair<std::string, unsigned>> toolActivity;
  std::vector<std::string> MessageTexts() const;

 private:
  std::deque<int> answers_;
  bool answerAllWithOk_ = false;
};

// The window's commands for a window shown on its own: nothing installs, and it may close.
class IdleCommands : public WindowCommands {
 public:
  void Install(const std::string&, const std::string&) override {}
  bool MayClose() override { return true; }
};
