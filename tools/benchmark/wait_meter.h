#pragma once
// Measures every wait the installer's code makes on this program's main
// thread: the clock's (Sleep) and those on events (MsgWaitForMultipleObjectsEx:
// a tool's end, a folder's notice, the window's messages), so that what the
// steps wait for can be told apart from the file work around it, and a wait
// by the clock from one that ends when its event comes.
#include <windows.h>

#include <map>

struct WaitTally {
  unsigned count = 0;
  double seconds = 0;  // measured inside the calls
};

struct WaitTallies {
  std::map<DWORD, WaitTally> sleeps;  // by the requested length in milliseconds
  WaitTally events;
  double Seconds() const;
  unsigned SleepCount() const;
};

// Routes this program's imported Sleep and MsgWaitForMultipleObjectsEx
// through a timer. Returns false when an import could not be found (then
// nothing is measured).
bool StartWaitMeter();
// Everything measured so far; subtract two readings to get one step's waits.
WaitTallies WaitReading();
WaitTallies Difference(const WaitTallies& after, const WaitTallies& before);
