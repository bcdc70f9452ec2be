#pragma once
// Waits on the window's thread that never block it: the thread sleeps until
// what it waits for is signalled or a message comes for the window, and
// pumps the messages as they come.
#include <windows.h>

#include <cstdint>
#include <functional>

#include "support/run_context.h"

// Waits up to `milliseconds` for the object (a process, a change
// notification) to be signalled; without one, for the time alone. The
// window's messages are pumped as they come, and at least four times a
// second for what the window shows by the clock (a title held back, a tool's
// seconds). After each pump `afterPump` gets the time waited so far; it may
// throw to end the wait. The first pump comes at once, and another after the
// object was seen signalled, so that a stop asked for meanwhile is not missed.
// True once the object is signalled; a time of 0 or less gives one pump.
bool WaitPumping(RunContext& run, HANDLE object, int64_t milliseconds,
                 const std::function<void(uint64_t elapsedMs)>& afterPump);

// Waits the given time while the window keeps answering. A stop ends it.
void PumpingPause(RunContext& run, uint32_t milliseconds);
