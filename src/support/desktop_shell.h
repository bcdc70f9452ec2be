#pragma once
// Starting a program as the signed-in user when this installer runs with
// administrator rights: the desktop's own shell (Explorer) starts it, with
// the rights it has itself, as the common installer builders do at their end.
#include <string>

// Asks the desktop's shell window to start program (a full path, no
// parameters) with folder as its working folder. false when there is no such
// window to ask (no shell runs, or it does not offer the way).
bool StartThroughDesktopShell(const std::string& program, const std::string& folder, int windowStyle);
