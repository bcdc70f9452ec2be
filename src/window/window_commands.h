#pragma once
// What the window hands to the application that owns it. The window knows
// nothing of installing: the install button and a request to close come here,
// and the application decides what they mean.
#include <string>

class WindowCommands {
 public:
  virtual ~WindowCommands() = default;
  // The install button or its accelerator, with the texts of the two folder boxes.
  virtual void Install(const std::string& gameFolderText, const std::string& targetFolderText) = 0;
  // The close button, Alt+F4 or the system menu; true when the window may close now.
  virtual bool MayClose() = 0;
};
