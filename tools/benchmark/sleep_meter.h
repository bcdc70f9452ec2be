#pragma once
// Measures every Sleep the installer's code makes in this process, so that the
// waits it builds in (the process runner's polls, the marker poll, the pause
// between archives) can be told apart from the file work around them.
#include <windows.h>

#include <map>

struct SleepTally {
  unsigned count = 0;
  double seconds = 0;  // measured inside the call, not the requested length
};

// Requested length in milliseconds -> what the calls of that length cost.
using SleepTallies = std::map<DWORD, SleepTally>;

// Routes this program's imported Sleep through a timer. Returns false when the
// import could not be found (then nothing is measured).
bool StartSleepMeter();
// Everything measured so far; subtract two readings to get one step's waits.
SleepTallies SleepReading();
SleepTallies Difference(const SleepTallies& after, const SleepTallies& before);
double TotalSeconds(const SleepTallies& tallies);
