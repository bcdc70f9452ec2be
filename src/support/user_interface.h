#pragma once
// Everything the user sees goes through this interface: the main window
// implements it, and tests put a scripted one in its place.
#include <string>

#include "support/texts.h"

enum class MousePointer { Default = 0, Hourglass = 11 };

// The questions an installation asks, so that an unattended run can answer
// each one from its command line.
enum class Question {
  RecreateTarget,      // an earlier installation's folder, to be emptied but for the player's files
  RecreateUnfinished,  // a folder whose run did not finish or whose mod was removed: nothing there can be lost
  ConfirmInstall,
  InstallLobby,
  PlayNow,
  StopInstallation,
};

class UserInterface {
 public:
  virtual ~UserInterface() = default;
  // A modal message box; style is the MB_* combination, the result the ID* answer.
  // A box shows the text in the player's language; what is written for a
  // script or the log is its English.
  virtual int ShowMessage(const Message& text, TextId title, unsigned style) = 0;
  // A Yes/No question; shown as a message box unless an implementation knows the answer.
  virtual int Ask(Question question, const Message& text, TextId title, unsigned style) {
    (void)question;
    return ShowMessage(text, title, style);
  }
  virtual void SetMousePointer(MousePointer pointer) = 0;
  // Fills entryCount/scale of the bar from the left and shows the percentage.
  virtual void ShowProgress(int entryCount, int scale, const std::string& percentText) = 0;
  // Puts one entry above the entries shown so far: the stamp (time and
  // percentage), then the text, in the player's language where a person reads
  // it and in English where a script or the log does, then CR LF.
  virtual void PrependProgressText(const std::string& stamp, const Message& text) = 0;
  // Enables or disables what starts work or changes its folders (the
  // folder boxes and the buttons) while an installation runs.
  virtual void EnableInput(bool enabled) = 0;
  // Lets the window repaint and handle input in the middle of long work.
  virtual void PumpMessages() = 0;
  // A sign of life while an external tool works: its name and how long it has
  // been running, about once a second; an empty name once it has ended.
  // Never part of the log or the progress box.
  virtual void ShowToolActivity(const std::string& tool, unsigned elapsedSeconds) {
    (void)tool;
    (void)elapsedSeconds;
  }
  // The installation itself runs between these two, from the go-ahead to its
  // end. Entries logged at start-up or by the checks move the bar but are no
  // installation's progress: the title and the taskbar button tell only a run.
  virtual void BeginInstallation() {}
  virtual void EndInstallation() {}
  // Closes the window for good, which ends the program.
  virtual void Unload() = 0;
};

// Marks an installation's run on the user interface for the guard's lifetime,
// however it ends.
class InstallationScope {
 public:
  explicit InstallationScope(UserInterface& ui) : ui_(ui) { ui_.BeginInstallation(); }
  ~InstallationScope() { ui_.EndInstallation(); }
  InstallationScope(const InstallationScope&) = delete;
  InstallationScope& operator=(const InstallationScope&) = delete;

 private:
  UserInterface& ui_;
};
