#pragma once
// Runs the helper programs the installer needs (unpackers, setups, batch
// files) one at a time, keeping the window alive while each one works.
#include <cstdint>
#include <string>

#include "support/run_context.h"

// Window styles for started programs (SW_* values).
constexpr int kWindowNormal = 1;
constexpr int kWindowMinimized = 2;
// The external tools get no time limit worth the name (about 23 days).
constexpr int32_t kNoTimeLimitMs = 2000000000;

// Starts commandLine in the current folder, with the program found as the
// command prompt would find it, shown as windowStyle says, and waits for it,
// pumping the window's messages.
//
// true: the program has ended. false: it could not be started (reported,
// message untouched), or it was still running after timeoutMs; message then
// says so, and the program is left running. A negative time-out is spent at
// once, like 0: the program gets one polling pass.
bool ShellAndWaitForTermination(RunContext& run, const std::string& commandLine, int windowStyle, std::string& message,
                                int32_t timeoutMs);
