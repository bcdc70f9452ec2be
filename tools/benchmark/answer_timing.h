#pragma once
// How soon a window answers a message that asks nothing of it: what a user
// waits for a click or a repaint while the window's thread is busy.
#include <windows.h>

#include <optional>
#include <thread>

#include "support/handles.h"

struct AnswerTimes {
  double longestSeconds = 0;
  int pings = 0;
  int over250Ms = 0;  // long enough for a person to notice
};

// Sends WM_NULL to a window from a thread of its own, one call every 50 ms,
// until Stop. A call that the window never answers ends after 30 seconds and
// counts with that time; calls that fail because the window is gone do not count.
class AnswerMeter {
 public:
  explicit AnswerMeter(HWND window);
  ~AnswerMeter();
  AnswerMeter(const AnswerMeter&) = delete;
  AnswerMeter& operator=(const AnswerMeter&) = delete;

  // Waits for the call under way, at most its 30 seconds.
  AnswerTimes Stop();

 private:
  void Ping(HWND window);

  UniqueHandle stop_;
  AnswerTimes times_;
  std::thread thread_;  // last: it starts once the rest is in place
};

// The floor: a plain window on a thread that does nothing but pump its
// messages, pinged the same way from its start until Stop. Run beside the
// installation it shows what the system itself holds up: under Wine a file
// system call that stalls in the server stalls every window there is.
class PumpingWindowMeter {
 public:
  PumpingWindowMeter();
  ~PumpingWindowMeter();
  PumpingWindowMeter(const PumpingWindowMeter&) = delete;
  PumpingWindowMeter& operator=(const PumpingWindowMeter&) = delete;

  AnswerTimes Stop();

 private:
  HWND window_ = nullptr;
  std::thread pump_;
  std::optional<AnswerMeter> meter_;
  AnswerTimes times_;
};
