#pragma once
// Long work on the window's thread (copies, moves, deletes, tree walks) calls
// this per file and per chunk of a big file: the window's messages are pumped
// at most every 20 ms, so that the window answers without the pumping costing
// the work much.
#include <windows.h>

#include <functional>

#include "support/user_interface.h"

inline std::function<void()> KeepAlive(UserInterface& ui) {
  constexpr ULONGLONG kIntervalMs = 20;
  return [&ui, last = GetTickCount64()]() mutable {
    ULONGLONG now = GetTickCount64();
    if (now - last < kIntervalMs) return;
    last = now;
    ui.PumpMessages();
  };
}
