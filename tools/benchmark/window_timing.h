#pragma once
// The installer's own window: how soon it shows, and what one progress entry
// costs once the progress box holds a whole installation's worth of text.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

// Starts the installer with the game registered at `gameFolder` and times the
// start until its window is visible; then closes it. Nothing when the window
// did not appear within 30 seconds.
struct WindowStart {
  double seconds = 0;
  uint64_t workingSet = 0;  // of the installer, once its window is shown
};
std::optional<WindowStart> TimeWindowStart(const std::string& installerExe, const std::string& gameFolder);

struct EntryTiming {
  double firstMs = 0;
  double at200Ms = 0;
  double average195To205Ms = 0;
};

struct EntryComparison {
  EntryTiming ours;
  EntryTiming plain;
  SIZE box{};  // the progress box's outer size in pixels, the plain box's too
};

// Logs 205 entries through the real window (created in this process), with
// the log file in `logFolder`, and after each puts the same text at the top
// of a plain multi-line edit box of the same size, in a plain window, with
// none of our code: what the platform alone costs. The two take turns entry
// by entry, so that the machine's load falls alike on both.
EntryComparison TimeProgressEntries(const std::string& logFolder);
