#pragma once
// Long work on the window's thread (copies, moves, deletes, tree walks) calls
// this per file and per chunk of a big file: the window's messages are pumped
// at most every 20 ms, so that the window answers without the pumping costing
// the work much, and a stop the user asked for is honoured there.
#include <windows.h>

#include <functional>

#include "support/run_context.h"

inline std::function<void()> KeepAlive(RunContext& run) {
  constexpr ULONGLONG kIntervalMs = 20;
  return [&run, last = GetTickCount64()]() mutable {
    ULONGLONG now = GetTickCount64();
    if (now - last < kIntervalMs) return;
    last = now;
    run.ui.PumpMessages();
    StopIfRequested(run);
  };
}
