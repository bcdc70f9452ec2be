#pragma once
#include <string>

#include "support/handles.h"

// Starts a command line in the current folder with the window shown as
// windowStyle says (1 normal, 2 minimised) and returns the process handle.
// With a job, the program (and what it starts) belongs to that job before it
// runs a single instruction. With an output (an inheritable handle), what the
// program writes to its standard output goes there, and it inherits nothing
// else. Throws RuntimeError when the program cannot be started.
UniqueHandle StartProgram(const std::string& commandLine, int windowStyle, HANDLE job = nullptr,
                          HANDLE output = nullptr);
