#pragma once
// The user interface of the benchmark's installation: it shows nothing, keeps
// every progress entry's text (the file operations are read back from them)
// and every message box, which during a benchmark is always a failure.
#include <string>
#include <vector>

#include "support/user_interface.h"

class CountingUi : public UserInterface {
 public:
  CountingUi() = default;
  CountingUi(const CountingUi&) = delete;
  CountingUi& operator=(const CountingUi&) = delete;

  int ShowMessage(const Message& text, TextId title, unsigned style) override;
  void SetMousePointer(MousePointer) override {}
  void ShowProgress(int, int, const std::string&) override {}
  void PrependProgressText(const std::string& stamp, const Message& text) override;
  void EnableInput(bool) override {}
  void PumpMessages() override { ++pumps; }
  void Unload() override {}

  std::vector<std::string> entries;   // without time, percentage and line end
  std::vector<std::string> messages;  // "title: text"
  long pumps = 0;
};
