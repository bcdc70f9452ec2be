#include "common/scripted_ui.h"

#include <windows.h>

#include <gtest/gtest.h>

// A real box runs its own message loop: what the user does while it is open
// reaches the window, so onPump runs here too.
int ScriptedUi::ShowMessage(const Message& message, TextId titleId, unsigned style) {
  std::string text = message.English(), title = TextIn(Language::English, titleId);
  messages.push_back({text, title, style, message.In(language)});
  if (onPump) onPump();
  if (answerAllWithOk_ && (style & 0xF) == MB_OK) return IDOK;
  if (!answers_.empty()) {
    int answer = answers_.front();
    answers_.pop_front();
    return answer;
  }
  ADD_FAILURE() << "unexpected message box \"" << title << "\": " << text;
  return (style & 0xF) == MB_OK ? IDOK : IDNO;
}

void ScriptedUi::PumpMessages() {
  ++pumps;
  if (onPump) onPump();
}

void ScriptedUi::SetMousePointer(MousePointer pointer) { pointers.push_back(pointer); }

void ScriptedUi::ShowProgress(int entryCount, int scale, const std::string& percent) {
  barEntries = entryCount;
  barScale = scale;
  percentText = percent;
}

void ScriptedUi::PrependProgressText(const std::string& stamp, const Message& text) {
  progressText.insert(0, stamp + text.English() + "\r\n");
}

std::vector<std::string> ScriptedUi::MessageTexts() const {
  std::vector<std::string> texts;
  for (const auto& message : messages) texts.push_back(message.text);
  return texts;
}

std::unique_ptr<RunContext> NewRun(UserInterface& ui, const std::string& installerFolder) {
  return std::make_unique<RunContext>(ui, InstallPlan::ForInstallerFolder(installerFolder));
}
