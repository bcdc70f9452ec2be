#include "support/pumping_wait.h"

#include <algorithm>

#include "support/runtime_error.h"

namespace {

// No wait's end hangs on this beat: it shows the window's held-back title and
// a tool's seconds, and gives a user interface that sees its input only when
// pumped (a test's) its turn.
constexpr int64_t kHeartbeatMs = 250;

// Sleeps until the object is signalled, new input comes for the thread, or
// the time has passed; true for the object. What the last pump left in the
// queue (an interface without a window leaves all of it) is marked as seen
// first: still "new", it would end every wait at once, and the wait would spin.
// A message that comes between the pump and this look waits for the next beat.
bool WaitForObjectOrInput(HANDLE object, DWORD milliseconds) {
  MSG message;
  PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
  DWORD result = MsgWaitForMultipleObjectsEx(object ? 1 : 0, object ? &object : nullptr, milliseconds, QS_ALLINPUT, 0);
  if (result == WAIT_FAILED) ThrowLastError();
  return object && result == WAIT_OBJECT_0;
}

}  // namespace

bool WaitPumping(RunContext& run, HANDLE object, int64_t milliseconds,
                 const std::function<void(uint64_t elapsedMs)>& afterPump) {
  const ULONGLONG start = GetTickCount64();  // 64 bits: no wrap after 49.7 days
  for (bool signalled = false;;) {
    run.ui.PumpMessages();
    const ULONGLONG elapsed = GetTickCount64() - start;
    afterPump(elapsed);
    if (signalled) return true;
    const int64_t left = milliseconds - static_cast<int64_t>(elapsed);
    if (left <= 0) return false;
    signalled = WaitForObjectOrInput(object, static_cast<DWORD>(std::min(left, kHeartbeatMs)));
  }
}

void PumpingPause(RunContext& run, uint32_t milliseconds) {
  WaitPumping(run, nullptr, milliseconds, [&](uint64_t) { StopIfRequested(run); });
}
