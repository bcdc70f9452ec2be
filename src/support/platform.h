#pragma once
// What kind of system the installer runs on, where it matters.

// Whether this is Wine rather than Windows.
bool RunningUnderWine();
// Whether this process has rights above the signed-in player's: it runs
// elevated on Windows. Under Wine every program has the Linux user's rights,
// whatever its token says.
bool ElevatedAboveThePlayer();
