#pragma once
// Runs the helper programs the installer needs (unpackers, packer, setup)
// one at a time, keeping the window alive and telling the user how long
// each one has been working.
#include <cstdint>
#include <string>

#include "support/run_context.h"

// Window styles for started programs (SW_* values).
constexpr int kWindowNormal = 1;
constexpr int kWindowMinimized = 2;
// The external tools get no time limit worth the name (about 23 days).
constexpr int32_t kNoTimeLimitMs = 2000000000;

// Starts commandLine in the current folder, shown as windowStyle says, and
// waits for it, pumping the window's messages. Name the program by its full,
// quoted path: a bare name is looked for in the installer's own folder first.
//
// A stop asked for while it waits ends the program and what it started, and
// throws InstallationStopped.
//
// A program that could not be started has been reported, and message is left
// untouched. One still running after timeoutMs is left running, and message
// says so. A negative time-out is spent at once, like 0: the messages are
// pumped once, and the program has ended or has timed out.
enum class ProcessEnd { NotStarted, TimedOut, Ended };
struct ProcessResult {
  ProcessEnd end = ProcessEnd::NotStarted;
  uint32_t exitCode = 0;  // once ended
};
// The external tools (the default) end with the installer, however it ends;
// a program the user keeps, such as a setup, is started as one of its own.
enum class Lifetime { EndsWithInstaller, OwnProgram };
ProcessResult ShellAndWaitForTermination(RunContext& run, const std::string& commandLine, int windowStyle,
                                         std::string& message, int32_t timeoutMs,
                                         Lifetime lifetime = Lifetime::EndsWithInstaller);

// As above for a tool that ends with the installer, without a time limit:
// what it writes to its standard output comes back in output, the bytes as
// it wrote them, once it has ended.
ProcessResult ShellAndReadOutput(RunContext& run, const std::string& commandLine, int windowStyle, std::string& output);
