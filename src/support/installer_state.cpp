#include "support/installer_state.h"

#include <windows.h>

#include <stdexcept>

#include "support/text.h"

InstallerState& State() {
  static InstallerState state;
  return state;
}

UserInterface& UI() {
  if (!State().Ui) throw std::logic_error("no user interface attached");
  return *State().Ui;
}

std::string ExecutablePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      return Narrow(path);
    }
    path.resize(path.size() * 2);  // a long path: try again with room for it
  }
}

std::string ExecutableFolder() {
  std::string path = ExecutablePath();
  return path.substr(0, path.find_last_of('\\'));
}
